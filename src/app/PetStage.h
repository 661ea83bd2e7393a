#pragma once

#include "app/PetScene.h"
#include "pet/PetWindow.h"
#include "platform/Uptime.h"
#include "render/HappyPetView.h"
#include "render/IdlePetView.h"
#include "render/PoseImages.h"
#include "render/SleepPetView.h"
#include "render/WalkingPetView.h"

#include <memory>

namespace pimlo {

class GreetingBubble;

// The pet window with its four views and the greeting bubble above it: the only code that writes
// them. It makes them show a PetScene, touching only what differs from what they show.
class PetStage final
{
    Q_DISABLE_COPY_MOVE(PetStage)

public:
    // The window at origin (y-up points), standing, not yet shown.
    PetStage(Point origin, QImage idleImage, Clock clock);
    ~PetStage();

    // The walking, happy and sleep views; false when one of their poses is missing.
    bool createActionViews(const PoseImageLoader &load);
    void apply(const PetScene &scene);
    // Puts the window at origin (y-up points) unless it is there already.
    void place(Point origin);

    PetWindow *window() const { return m_window.get(); }
    IdlePetView *idleView() const { return m_idleView; }
    WalkingPetView *walkingView() const { return m_walkingView; }
    HappyPetView *happyView() const { return m_happyView; }
    SleepPetView *sleepView() const { return m_sleepView; }
    // Made on the first greeting and kept.
    GreetingBubble *greetingBubble() const { return m_bubble.get(); }

private:
    QWidget *viewFor(PetScene::View view) const;

    std::unique_ptr<PetWindow> m_window;
    // The views belong to the window.
    IdlePetView *m_idleView = nullptr;
    WalkingPetView *m_walkingView = nullptr;
    HappyPetView *m_happyView = nullptr;
    SleepPetView *m_sleepView = nullptr;
    std::unique_ptr<GreetingBubble> m_bubble;
};

} // namespace pimlo
