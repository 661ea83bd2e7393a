#include "PimloChatView.h"

#include "chat/model/ChatModel.h"
#include "chat/window/ChatComposer.h"
#include "chat/window/ChatHeader.h"
#include "chat/window/ChatMessageList.h"
#include "chat/window/ChatStyle.h"
#include "chat/window/CredentialSettingsDialog.h"
#include "chat/window/ErrorBanner.h"
#include "platform/Appearance.h"

#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace pimlo {
namespace {

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    return line;
}

} // namespace

PimloChatView::PimloChatView(ChatModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_header(new ChatHeader(this)), m_topDivider(divider(this)),
      m_list(new ChatMessageList(model, this)), m_banner(new ErrorBanner(model, this)),
      m_bottomDivider(divider(this)), m_composer(new ChatComposer(model, this)),
      m_footer(new QLabel(
          QStringLiteral("Ctrl+Return 发送 · Return 换行 · 当前对话仅保留在本次运行中"), this)),
      m_seenFocusRequest(model.inputFocusRequest()), m_seenSettings(model.settings())
{
    setMinimumSize(480, 500);
    m_footer->setAlignment(Qt::AlignCenter);
    m_footer->setContentsMargins(0, 9, 0, 9);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addWidget(m_topDivider);
    column->addWidget(m_list, 1);
    column->addWidget(m_banner);
    column->addWidget(m_bottomDivider);
    column->addWidget(m_composer);
    column->addWidget(m_footer);

    // Tab goes from the input to the send button, then to the header, then the banner.
    setTabOrder(m_composer->editor(), m_composer->sendButton());
    setTabOrder(m_composer->sendButton(), m_composer->stopButton());
    setTabOrder(m_composer->stopButton(), m_header->newConversationButton());
    setTabOrder(m_header->newConversationButton(), m_header->settingsButton());
    setTabOrder(m_header->settingsButton(), m_banner->retryButton());
    setTabOrder(m_banner->retryButton(), m_banner->abandonButton());
    setTabOrder(m_banner->abandonButton(), m_banner->settingsButton());

    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto *send = new QShortcut(keys, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(send, &QShortcut::activated, m_composer, &ChatComposer::sendIfEnabled);
    }
    connect(m_header, &ChatHeader::newConversationClicked, this,
            &PimloChatView::confirmNewConversation);
    connect(m_header, &ChatHeader::settingsClicked, this, [this] { m_model.setSettings(true); });
    connect(&m_model, &ChatModel::changed, this, &PimloChatView::refresh);
    connect(&ChatStyle::appearance(), &Appearance::changed, this,
            [this] { applyStyle(ChatStyle::current()); });
    applyStyle(ChatStyle::current());
    refresh();
}

void PimloChatView::applyStyle(const ChatStyle &style)
{
    m_style = style;
    setPalette(style.widgetPalette(palette()));
    for (QFrame *line : {m_topDivider, m_bottomDivider}) {
        QPalette linePalette = line->palette();
        linePalette.setColor(QPalette::Window, style.divider);
        line->setPalette(linePalette);
    }
    m_footer->setFont(style.caption());
    QPalette footerPalette = m_footer->palette();
    footerPalette.setColor(QPalette::WindowText, style.tertiaryText);
    m_footer->setPalette(footerPalette);
    m_header->applyStyle(style);
    m_list->applyStyle(style);
    m_banner->applyStyle(style);
    m_composer->applyStyle(style);
    if (auto *dialog = qobject_cast<CredentialSettingsDialog *>(m_settingsDialog.data()))
        dialog->applyStyle(style);
    update();
}

void PimloChatView::refresh()
{
    m_header->setBusy(m_model.busy());
    m_banner->refresh();
    m_composer->refresh();
    syncSettingsDialog();

    const bool settings = m_model.settings();
    const qint64 focusRequest = m_model.inputFocusRequest();
    if (settings != m_seenSettings) {
        m_seenSettings = settings;
        // Opening the settings takes the focus away from the input; closing gives it back.
        if (!settings)
            m_composer->focusEditor();
    }
    if (focusRequest != m_seenFocusRequest) {
        m_seenFocusRequest = focusRequest;
        if (!settings)
            m_composer->focusEditor();
    }
}

void PimloChatView::syncSettingsDialog()
{
    if (m_model.settings() && !m_settingsDialog) {
        m_settingsDialog = new CredentialSettingsDialog(m_model, m_style, window());
        m_settingsDialog->setAttribute(Qt::WA_DeleteOnClose);
        m_settingsDialog->setWindowModality(Qt::WindowModal);
        // However the dialog goes away, the model stops asking for it.
        connect(m_settingsDialog, &QDialog::finished, this, [this] {
            if (m_model.settings())
                m_model.setSettings(false);
        });
        m_settingsDialog->open();
    } else if (!m_model.settings() && m_settingsDialog) {
        m_settingsDialog->close();
    }
}

void PimloChatView::confirmNewConversation()
{
    if (m_confirmation)
        return;
    m_confirmation = new QMessageBox(window());
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    m_confirmation->setWindowModality(Qt::WindowModal);
    m_confirmation->setIcon(QMessageBox::Question);
    m_confirmation->setWindowTitle(QStringLiteral("开始新对话？"));
    m_confirmation->setText(QStringLiteral("开始新对话？"));
    m_confirmation->setInformativeText(QStringLiteral("将清空当前对话，并停止尚未完成的回复。"));
    QPushButton *cancel =
        m_confirmation->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    QPushButton *clear =
        m_confirmation->addButton(QStringLiteral("新对话"), QMessageBox::DestructiveRole);
    m_confirmation->setDefaultButton(cancel);
    m_confirmation->setEscapeButton(cancel);
    connect(clear, &QPushButton::clicked, this, [this] { m_model.newConversation(); });
    m_confirmation->open();
}

void PimloChatView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (!m_model.settings())
            m_composer->focusEditor();
    }
}

bool PimloChatView::focusNextPrevChild(bool next)
{
    // Qt passes the focus of a control that hides or disables itself (send, 停止, the banner's
    // buttons) along the tab chain, where the next Space would press the header's buttons; it
    // goes back to the message field instead. Tab and Shift+Tab move along the chain.
    const QWidget *focus = window()->focusWidget();
    if (focus && isAncestorOf(focus) && !(focus->isVisible() && focus->isEnabled())) {
        m_composer->focusEditor();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void PimloChatView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), m_style.windowBackground);
}

} // namespace pimlo
