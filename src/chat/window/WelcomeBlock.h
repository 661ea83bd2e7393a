#pragma once

#include <QWidget>

class QLabel;

namespace pimlo {

struct ChatStyle;

// What an empty conversation shows: a greeting, an invitation and the hint where to connect.
class WelcomeBlock final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WelcomeBlock)

public:
    explicit WelcomeBlock(QWidget *parent = nullptr);

    void applyStyle(const ChatStyle &style);

private:
    QLabel *m_title;
    QLabel *m_invitation;
    QLabel *m_hint;
};

} // namespace pimlo
