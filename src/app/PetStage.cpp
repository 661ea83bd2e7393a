#include "PetStage.h"

#include "app/GreetingBubble.h"

namespace pimlo {

PetStage::PetStage(Point origin, QImage idleImage, Clock clock)
    : m_window(std::make_unique<PetWindow>(origin, Size{petSize, petSize}))
{
    m_idleView = new IdlePetView(std::move(idleImage), true, std::move(clock), m_window.get());
    m_window->setContentView(m_idleView);
}

PetStage::~PetStage() = default;

bool PetStage::createActionViews(const PoseImageLoader &load)
{
    const qreal ratio = m_idleView->image().devicePixelRatio();
    const QImage walking = load(QStringLiteral("pimlo-walk-left"), ratio);
    if (walking.isNull())
        return false;
    m_walkingView = new WalkingPetView(walking, m_window.get());
    const QImage happy = load(QStringLiteral("pimlo-happy"), ratio);
    if (happy.isNull())
        return false;
    m_happyView = new HappyPetView(happy, m_window.get());
    const QImage sleeper = load(QStringLiteral("pimlo-sleep"), ratio);
    if (sleeper.isNull())
        return false;
    m_sleepView = new SleepPetView(sleeper, *m_idleView, m_window.get());
    for (QWidget *view : {static_cast<QWidget *>(m_walkingView),
                          static_cast<QWidget *>(m_happyView), static_cast<QWidget *>(m_sleepView)})
        view->hide();
    return true;
}

void PetStage::place(Point origin)
{
    // Compared with where the window really is, not where it was last put.
    m_window->setOrigin(origin);
}

QWidget *PetStage::viewFor(PetScene::View view) const
{
    switch (view) {
    case PetScene::View::walking:
        return m_walkingView;
    case PetScene::View::happy:
        return m_happyView;
    case PetScene::View::sleep:
        return m_sleepView;
    case PetScene::View::idle:
        break;
    }
    return m_idleView;
}

void PetStage::apply(const PetScene &scene)
{
    // The idle view animates itself; the others draw what they are given.
    switch (scene.view) {
    case PetScene::View::walking:
        m_walkingView->direction = scene.direction;
        m_walkingView->stepTime = scene.stepTime;
        break;
    case PetScene::View::happy:
        m_happyView->time = scene.actionTime;
        break;
    case PetScene::View::sleep:
        m_sleepView->time = scene.actionTime;
        break;
    case PetScene::View::idle:
        break;
    }
    QWidget *view = viewFor(scene.view);
    if (m_window->contentView() != view)
        m_window->setContentView(view);
    if (view != m_idleView)
        view->update();
    if (!(m_window->origin() == scene.origin))
        m_window->setOrigin(scene.origin);

    if (scene.greeting) {
        if (!m_bubble)
            m_bubble = std::make_unique<GreetingBubble>();
        m_bubble->showAt(*scene.greeting);
    } else if (m_bubble) {
        m_bubble->hide();
    }
}

} // namespace pimlo
