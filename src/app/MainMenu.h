#pragma once

#include <QMenuBar>
#include <functional>

namespace pimlo {

// The application's main menu: "退出 Pimlo" (Ctrl+Q) and the "编辑" menu whose commands go to
// the focused text field. Where the platform shows a global menu bar it appears there; its
// shortcuts work in every regular window of the app either way, once attached to a window.
class MainMenu final : public QMenuBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainMenu)

public:
    explicit MainMenu(std::function<void()> quit);

    QAction *quitAction() const { return m_quit; }

    // Makes the shortcuts live through a window that exists for the life of the app.
    void attachShortcuts(QWidget &window) const;

private:
    QAction *m_quit;
};

} // namespace pimlo
