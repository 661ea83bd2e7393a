#pragma once

#include "chat/window/ChatStyle.h"
#include "chat/window/CredentialSettings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pimlo {

class ChatModel;

// The API key form over the chat window: it only shows CredentialSettings. Its "完成" (also
// Escape and the window's close button) lowers the model's settings flag; whoever shows the
// dialog closes it then, and when nobody does, the dialog closes itself.
class CredentialSettingsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CredentialSettingsDialog)

public:
    static constexpr int fixedWidth = 450;

    CredentialSettingsDialog(ChatModel &model, const ChatStyle &style, QWidget *parent,
                             CredentialSettings::Store store = CredentialSettings::defaultStore());

    // Colours and type, again when the desktop switches between light and dark.
    void applyStyle(const ChatStyle &style);
    CredentialSettings &settings() { return m_settings; }

    // The done action, whichever way the user dismisses the dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void build();
    void drawTitleSymbol();
    void refresh();
    void fitHeight();

    CredentialSettings m_settings;
    ChatStyle m_style;
    QLabel *m_titleIcon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_intro = nullptr;
    QLineEdit *m_keyField = nullptr;
    QLabel *m_keyHint = nullptr;
    QLabel *m_modelLabel = nullptr;
    QComboBox *m_picker = nullptr;
    QPushButton *m_link = nullptr;
    QLabel *m_costHint = nullptr;
    QLabel *m_notice = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_done = nullptr;
    QPushButton *m_save = nullptr;
};

} // namespace pimlo
