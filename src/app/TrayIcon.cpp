#include "TrayIcon.h"

#include "app/TrayBadge.h"
#include "platform/Log.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace pimlo {

TrayIcon::TrayIcon(QMenu &menu) : m_menu(&menu), m_icon(std::make_unique<QSystemTrayIcon>())
{
    m_icon->setIcon(QIcon(new TrayBadge));
    m_icon->setToolTip(QStringLiteral("Pimlo"));
    m_icon->setContextMenu(&menu);
    // A right click opens the menu by itself; a left click opens the same one.
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && m_menu)
                    m_menu->popup(QCursor::pos());
            });

    m_docked = QSystemTrayIcon::isSystemTrayAvailable();
    m_icon->show();
    if (m_docked)
        return;
    logLine("Pimlo: no system tray; the commands are on the pet's right-click menu");
    // Qt docks an icon only into a tray that runs when the icon is shown, so until one appears
    // the icon is shown again whenever a look finds one.
    connect(&m_trayPoll, &QTimer::timeout, this, &TrayIcon::dockIfTrayAppeared);
    m_trayPoll.start(trayPollMs);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::dockIfTrayAppeared()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayPoll.stop();
    m_docked = true;
    m_icon->hide();
    m_icon->show();
}

void TrayIcon::remove()
{
    m_trayPoll.stop();
    m_icon->hide();
}

} // namespace pimlo
