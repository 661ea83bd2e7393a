#include "MainMenu.h"

#include <QApplication>
#include <QKeySequence>
#include <QMetaObject>
#include <QWidget>

namespace pimlo {
namespace {

struct EditCommand
{
    const char *title;
    const char *slot; // a slot of Qt's text widgets
    QKeySequence::StandardKey key;
};

constexpr EditCommand editCommands[] = {
    {"撤销", "undo", QKeySequence::Undo},           {"剪切", "cut", QKeySequence::Cut},
    {"复制", "copy", QKeySequence::Copy},           {"粘贴", "paste", QKeySequence::Paste},
    {"全选", "selectAll", QKeySequence::SelectAll},
};

} // namespace

MainMenu::MainMenu(std::function<void()> quit) : QMenuBar(nullptr)
{
    QMenu *application = addMenu(QString());
    m_quit = application->addAction(QStringLiteral("退出 Pimlo"));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setShortcutContext(Qt::ApplicationShortcut);
    m_quit->setMenuRole(QAction::QuitRole);
    connect(m_quit, &QAction::triggered, this, [quit = std::move(quit)] { quit(); });

    QMenu *edit = addMenu(QStringLiteral("编辑"));
    for (const EditCommand &command : editCommands) {
        QAction *action = edit->addAction(QString::fromUtf8(command.title));
        action->setShortcut(command.key);
        // Text fields handle these keys themselves; the menu item reaches whichever has focus.
        action->setShortcutContext(Qt::WidgetShortcut);
        const char *slot = command.slot;
        connect(action, &QAction::triggered, this, [slot] {
            QWidget *focus = QApplication::focusWidget();
            if (focus && focus->metaObject()->indexOfSlot(QByteArray(slot) + "()") >= 0)
                QMetaObject::invokeMethod(focus, slot);
        });
    }
}

void MainMenu::attachShortcuts(QWidget &window) const
{
    window.addAction(m_quit);
}

} // namespace pimlo
