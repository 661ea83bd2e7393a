#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QWidget>

namespace pimlo {

// A small indeterminate progress indicator: spokes fading round a circle. It turns only while
// shown, so a hidden window spends nothing on it.
class BusySpinner final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusySpinner)

public:
    explicit BusySpinner(QWidget *parent = nullptr);

    void setColor(const QColor &color);
    bool isSpinning() const { return m_timer.isActive(); }
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QBasicTimer m_timer;
    QColor m_color;
    int m_step = 0;
};

} // namespace pimlo
