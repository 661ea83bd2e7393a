#pragma once

#include <QDBusVariant>
#include <QObject>
#include <QVariant>

namespace pimlo {

// The desktop's light or dark preference: the freedesktop appearance setting "color-scheme"
// read through the settings portal, followed live through its change signal; where no portal
// answers, the lightness of the application palette's window colour decides.
class Appearance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Appearance)

public:
    explicit Appearance(QObject *parent = nullptr);

    bool dark() const;

    // The portal's value of color-scheme (1 prefers dark, 2 prefers light, 0 or anything else
    // has no preference) and the palette's window lightness, to a decision.
    static bool decide(const QVariant &colorScheme, int paletteWindowLightness);

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    QVariant m_colorScheme; // invalid until the portal answered
};

} // namespace pimlo
