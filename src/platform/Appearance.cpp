#include "Appearance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QGuiApplication>
#include <QPalette>

namespace pimlo {
namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
// Asked once at start; a desktop without a portal must not hold up the chat window.
constexpr int portalTimeoutMs = 300;

// The portal wraps the value in one or two variants depending on its version.
QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

Appearance::Appearance(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                       QStringLiteral("Read"));
    read << appearanceGroup << colorSchemeKey;
    read.setAutoStartService(false);
    const QDBusMessage reply = bus.call(read, QDBus::Block, portalTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        m_colorScheme = unwrap(reply.arguments().constFirst());
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                this, SLOT(onSettingChanged(QString, QString, QDBusVariant)));
}

bool Appearance::dark() const
{
    return decide(m_colorScheme, QGuiApplication::palette().color(QPalette::Window).lightness());
}

bool Appearance::decide(const QVariant &colorScheme, int paletteWindowLightness)
{
    bool ok = false;
    const uint scheme = colorScheme.toUInt(&ok);
    if (ok && scheme == 1)
        return true;
    if (ok && scheme == 2)
        return false;
    return paletteWindowLightness < 128;
}

void Appearance::onSettingChanged(const QString &group, const QString &key,
                                  const QDBusVariant &value)
{
    if (group != appearanceGroup || key != colorSchemeKey)
        return;
    m_colorScheme = unwrap(value.variant());
    Q_EMIT changed();
}

} // namespace pimlo
