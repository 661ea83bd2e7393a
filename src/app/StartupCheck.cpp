#include "StartupCheck.h"

#include "platform/Log.h"
#include "platform/SecretServiceProbe.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <cstdio>

namespace pimlo {
namespace {

QString logText(StartupCheck::Finding finding, int screen)
{
    switch (finding) {
    case StartupCheck::Finding::NoDisplay:
        return QStringLiteral("Pimlo: cannot connect to the X display");
    case StartupCheck::Finding::XWayland:
        return QStringLiteral("Pimlo: running on Wayland through XWayland; the compositor decides "
                              "where the pet stands and whether it stays on top");
    case StartupCheck::Finding::NoCompositor:
        return QStringLiteral("Pimlo: no compositing manager (no owner of _NET_WM_CM_S%1); the "
                              "pet's transparent corners show black")
            .arg(screen);
    case StartupCheck::Finding::NoTray:
        return QStringLiteral(
            "Pimlo: no system tray; the commands are on the pet's right-click menu");
    case StartupCheck::Finding::NoSessionBus:
        return QStringLiteral("Pimlo: no session bus; a second launch cannot find this pet and "
                              "starts another");
    case StartupCheck::Finding::NoSecretService:
        return QStringLiteral("Pimlo: no Secret Service on the session bus "
                              "(org.freedesktop.secrets); an API key cannot be saved");
    }
    return {};
}

} // namespace

QString StartupCheck::advice(Finding finding, const Facts &facts)
{
    const int screen = facts.x11 ? facts.x11->screen : 0;
    switch (finding) {
    case StartupCheck::Finding::NoDisplay: {
        const QString display = qEnvironmentVariable("DISPLAY");
        return (display.isEmpty() ? QStringLiteral("没有 X 显示（DISPLAY 未设置）")
                                  : QStringLiteral("连接不上 X 显示 %1").arg(display)) +
               QStringLiteral("：Pimlo 要在图形桌面里运行。请在桌面会话的终端里运行它，或把 "
                              "DISPLAY 设成正确的显示。");
    }
    case StartupCheck::Finding::XWayland:
        return QStringLiteral("正在 Wayland 会话里通过 XWayland 运行：宠物站在哪里、能否留在最上层"
                              "由桌面决定，可能被其他窗口盖住。想要最稳妥的效果，请在登录界面选择 "
                              "X11（Xorg）会话。");
    case StartupCheck::Finding::NoCompositor:
        return QStringLiteral(
                   "没有合成管理器（_NET_WM_CM_S%1 无人持有）：宠物透明的边角会显示成"
                   "黑色。请在桌面设置里打开窗口合成，或启动 picom、xcompmgr 这类合成器。")
            .arg(screen);
    case StartupCheck::Finding::NoTray:
        return QStringLiteral("没有系统托盘：Pimlo 的命令只在宠物的右键菜单里。GNOME 上可以安装 "
                              "AppIndicator 扩展（gnome-shell-extension-appindicator），托盘出现后"
                              "图标会自己放进去。");
    case StartupCheck::Finding::NoSessionBus:
        return QStringLiteral("没有会话总线（DBUS_SESSION_BUS_ADDRESS 未设置或连不上）：再次启动 "
                              "Pimlo 时找不到正在运行的这一只，会再启动一只。请在桌面会话的终端里"
                              "运行它。");
    case StartupCheck::Finding::NoSecretService:
        return QStringLiteral("会话总线上没有 Secret Service（org.freedesktop.secrets）：API Key "
                              "无法保存。请安装并启用 GNOME 密钥环（gnome-keyring），或 KWallet、"
                              "KeePassXC 的 Secret Service 功能。");
    }
    return {};
}

StartupCheck::Facts StartupCheck::gather(std::optional<X11Probe::Result> x11)
{
    Facts facts;
    facts.x11 = x11;
    facts.waylandSession =
        qEnvironmentVariable("XDG_SESSION_TYPE").toLower() == QLatin1String("wayland") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    facts.tray = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) &&
                 QSystemTrayIcon::isSystemTrayAvailable();
    facts.sessionBus = QDBusConnection::sessionBus().isConnected();
    facts.secretService = SecretServiceProbe::available();
    return facts;
}

QList<StartupCheck::Finding> StartupCheck::findings(const Facts &facts)
{
    QList<Finding> result;
    const bool onX11 = facts.x11.has_value();
    if (onX11 && !facts.x11->reachable) {
        result << Finding::NoDisplay;
    } else {
        // Under XWayland the Wayland compositor blends every window, whoever owns the selection.
        if (onX11 && facts.waylandSession)
            result << Finding::XWayland;
        else if (onX11 && !facts.x11->compositing)
            result << Finding::NoCompositor;
        if (!facts.tray)
            result << Finding::NoTray;
    }
    if (!facts.sessionBus)
        result << Finding::NoSessionBus;
    if (!facts.secretService)
        result << Finding::NoSecretService;
    return result;
}

void StartupCheck::log(const Facts &facts)
{
    for (const Finding finding : findings(facts))
        logLine(logText(finding, facts.x11 ? facts.x11->screen : 0).toStdString());
}

int StartupCheck::report(const Facts &facts)
{
    const QList<Finding> found = findings(facts);
    QString text;
    for (const Finding finding : found)
        text += advice(finding, facts) + u'\n';
    if (found.isEmpty()) {
        text = QStringLiteral("一切正常：合成管理器、系统托盘和 Secret Service 都在，没有发现会让 "
                              "Pimlo 表现异常的地方。\n");
    }
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
    return found.isEmpty() ? 0 : 1;
}

} // namespace pimlo
