#include "ChatHeader.h"

#include "chat/window/ChatStyle.h"
#include "chat/window/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace pimlo {
namespace {

QRect opaqueBounds(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QRect bounds;
    for (int y = 0; y < argb.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) > 8)
                bounds |= QRect(x, y, 1, 1);
    }
    return bounds.isEmpty() ? image.rect() : bounds;
}

const QString idleText = QStringLiteral("在这里，听你说");
const QString busyText = QStringLiteral("正在想怎么回复你…");
constexpr QSize pictureSize(40, 46);

// Pimlo standing, cropped to the figure and scaled to fit the picture frame on its rounded
// backing; empty when the image cannot be loaded, and then the header starts with the name.
QPixmap picture(const QColor &backing, qreal ratio)
{
    QImage pose(QStringLiteral(":/pimlo/pimlo-idle@2x.png"));
    if (pose.isNull())
        return {};
    // The pose lies on a 200-point canvas with room to move; the header shows the figure.
    pose = pose.copy(opaqueBounds(pose));
    const QRectF frameRect{QPointF(), QSizeF(pictureSize)};
    const QRectF inner = frameRect.adjusted(4, 4, -4, -4);
    QRectF target(QPointF(), QSizeF(pose.size()).scaled(inner.size(), Qt::KeepAspectRatio));
    target.moveCenter(inner.center());
    // One smooth downscale; drawing a large image small with a transform would alias.
    pose = pose.scaled((target.size() * ratio).toSize(), Qt::IgnoreAspectRatio,
                       Qt::SmoothTransformation);

    QPixmap frame(pictureSize * ratio);
    frame.setDevicePixelRatio(ratio);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath backingPath;
    backingPath.addRoundedRect(frameRect, 12, 12);
    painter.fillPath(backingPath, backing);
    pose.setDevicePixelRatio(ratio);
    painter.drawImage(target.topLeft(), pose);
    return frame;
}

QToolButton *headerButton(const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setAccessibleName(name);
    button->setFocusPolicy(Qt::TabFocus); // a click leaves the focus where it was
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

ChatHeader::ChatHeader(QWidget *parent)
    : QWidget(parent), m_picture(new QLabel(this)),
      m_name(new QLabel(QStringLiteral("Pimlo"), this)), m_status(new QLabel(idleText, this)),
      m_newConversation(headerButton(QStringLiteral("新对话"), this)),
      m_settings(headerButton(QStringLiteral("API Key"), this))
{
    m_picture->setFixedSize(pictureSize);
    m_picture->setAccessibleName(QStringLiteral("Pimlo"));
    m_newConversation->setToolTip(QStringLiteral("新对话"));
    m_settings->setText(QStringLiteral("API Key"));
    m_settings->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(m_name);
    texts->addWidget(m_status);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(12);
    row->addWidget(m_picture, 0, Qt::AlignVCenter);
    row->addLayout(texts);
    row->addStretch(1);
    row->addWidget(m_newConversation, 0, Qt::AlignVCenter);
    row->addWidget(m_settings, 0, Qt::AlignVCenter);

    connect(m_newConversation, &QToolButton::clicked, this, &ChatHeader::newConversationClicked);
    connect(m_settings, &QToolButton::clicked, this, &ChatHeader::settingsClicked);
}

void ChatHeader::setBusy(bool busy)
{
    const QString &text = busy ? busyText : idleText;
    if (m_status->text() != text)
        m_status->setText(text);
}

void ChatHeader::applyStyle(const ChatStyle &style)
{
    m_background = style.barBackground;
    const QPixmap pixmap = picture(style.pictureBackground, devicePixelRatioF());
    m_picture->setPixmap(pixmap);
    m_picture->setVisible(!pixmap.isNull());
    m_name->setFont(style.headline());
    m_status->setFont(style.caption());
    QPalette secondary = m_status->palette();
    secondary.setColor(QPalette::WindowText, style.secondaryText);
    m_status->setPalette(secondary);
    const int iconPixels = qRound(17 * style.textScale);
    m_newConversation->setIcon(
        SymbolIcon::tinted(QStringLiteral("square-and-pencil"), style.primaryText, iconPixels));
    m_newConversation->setIconSize(QSize(iconPixels, iconPixels));
    m_settings->setIcon(SymbolIcon::tinted(QStringLiteral("key"), style.primaryText, iconPixels));
    m_settings->setIconSize(QSize(iconPixels, iconPixels));
    m_settings->setFont(style.body());
    update();
}

void ChatHeader::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), m_background);
}

} // namespace pimlo
