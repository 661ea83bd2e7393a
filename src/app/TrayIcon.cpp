#include "TrayIcon.h"

#include "app/TrayBadge.h"

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

    // Shown also without a tray (the startup check says so once): Qt docks it into one that
    // starts later.
    m_icon->show();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::remove()
{
    m_icon->hide();
}

} // namespace pimlo
