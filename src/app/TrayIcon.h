#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace pimlo {

// Pimlo in the desktop's tray: the "皮" badge, the tooltip "Pimlo" and the action menu, opened
// by either mouse button. Where no tray runs the pet goes on without it, and the icon docks as
// soon as a tray appears.
class TrayIcon final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    // menu is not owned and must outlive the icon.
    explicit TrayIcon(QMenu &menu);
    ~TrayIcon() override;

    // Takes the icon out of the tray for good.
    void remove();

private:
    QPointer<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace pimlo
