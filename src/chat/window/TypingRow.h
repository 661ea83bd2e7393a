#pragma once

#include <QWidget>

class QLabel;

namespace pimlo {

class BusySpinner;
struct ChatStyle;

// The row under the last bubble while Pimlo is writing its reply: a spinner and a caption.
class TypingRow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TypingRow)

public:
    explicit TypingRow(QWidget *parent = nullptr);

    void applyStyle(const ChatStyle &style);
    BusySpinner *spinner() const { return m_spinner; }

private:
    BusySpinner *m_spinner;
    QLabel *m_label;
};

} // namespace pimlo
