#include "BusySpinner.h"

#include <QPainter>
#include <QTimerEvent>

namespace pimlo {
namespace {

constexpr int spokes = 12;
constexpr int turnMs = 1000; // one turn a second, a spoke at a time

} // namespace

BusySpinner::BusySpinner(QWidget *parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BusySpinner::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void BusySpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = qMin(width(), height()) / 2.0;
    QPen pen(m_color, radius / 5.5, Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < spokes; ++i) {
        // The leading spoke is solid; those behind it fade.
        const int age = (m_step - i + spokes) % spokes;
        QColor color = m_color;
        color.setAlphaF(m_color.alphaF() * (1.0 - 0.75 * age / (spokes - 1)));
        pen.setColor(color);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / spokes);
        painter.drawLine(QPointF(0, -radius * 0.5), QPointF(0, -radius * 0.9));
        painter.restore();
    }
}

void BusySpinner::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId())
        return QWidget::timerEvent(event);
    m_step = (m_step + 1) % spokes;
    update();
}

void BusySpinner::showEvent(QShowEvent *event)
{
    m_timer.start(turnMs / spokes, this);
    QWidget::showEvent(event);
}

void BusySpinner::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

} // namespace pimlo
