#include "chat/window/CredentialSettingsDialog.h"

#include "chat/model/ChatModel.h"
#include "chat/window/SymbolIcon.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace pimlo {
namespace {

constexpr int margin = 24;
constexpr int spacing = 18;
const QUrl keyPage(QStringLiteral("https://platform.deepseek.com/api_keys"));

QLabel *wrappedLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QString rgba(const QColor &c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alphaF(), 0, 'f', 3);
}

} // namespace

CredentialSettingsDialog::CredentialSettingsDialog(ChatModel &model, const ChatStyle &style,
                                                   QWidget *parent, CredentialSettings::Store store)
    : QDialog(parent), m_settings(model, std::move(store)), m_style(style)
{
    setWindowTitle(QStringLiteral("连接 DeepSeek"));
    setWindowModality(Qt::WindowModal);
    setFixedWidth(fixedWidth);
    setAutoFillBackground(true);
    build();
    connect(&m_settings, &CredentialSettings::changed, this, &CredentialSettingsDialog::refresh);
    applyStyle(style);
}

void CredentialSettingsDialog::build()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);

    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    m_titleIcon = new QLabel;
    m_title = new QLabel(QStringLiteral("连接 DeepSeek"));
    titleRow->addWidget(m_titleIcon);
    titleRow->addWidget(m_title);
    titleRow->addStretch();
    layout->addLayout(titleRow);

    m_intro =
        wrappedLabel(QStringLiteral("密钥只保存在此电脑的钥匙串中，不会写入代码或随应用分享。"));
    layout->addWidget(m_intro);

    const QString keyHint = QStringLiteral("已有密钥无需重复填写；输入新密钥可替换。");
    m_keyField = new QLineEdit;
    m_keyField->setEchoMode(QLineEdit::Password);
    m_keyField->setPlaceholderText(QStringLiteral("粘贴 DeepSeek API Key"));
    m_keyField->setAccessibleName(QStringLiteral("DeepSeek API Key"));
    m_keyField->setAccessibleDescription(keyHint);
    layout->addWidget(m_keyField);
    connect(m_keyField, &QLineEdit::textEdited, &m_settings, &CredentialSettings::setKey);

    m_keyHint = wrappedLabel(keyHint);
    layout->addWidget(m_keyHint);

    auto *pickerRow = new QHBoxLayout;
    m_modelLabel = new QLabel(QStringLiteral("模型"));
    m_picker = new QComboBox;
    for (const CredentialSettings::ModelChoice &choice : CredentialSettings::modelChoices())
        m_picker->addItem(choice.label, choice.value);
    m_picker->setAccessibleName(QStringLiteral("模型"));
    // The buddy gives screen readers the label: they name a combo box by its current item.
    m_modelLabel->setBuddy(m_picker);
    pickerRow->addWidget(m_modelLabel);
    pickerRow->addWidget(m_picker, 1);
    layout->addLayout(pickerRow);
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        m_settings.model().setSelectedModel(m_picker->itemData(index).toString());
    });

    m_link = new QPushButton(QStringLiteral("打开 DeepSeek 开放平台"));
    m_link->setAccessibleName(m_link->text());
    m_link->setCursor(Qt::PointingHandCursor);
    m_link->setAutoDefault(false);
    layout->addWidget(m_link, 0, Qt::AlignLeft);
    connect(m_link, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(keyPage); });

    m_costHint = wrappedLabel(QStringLiteral("发送消息时，本次对话内容会发送至 DeepSeek 官方 "
                                             "API。API 费用由你的 DeepSeek 账户承担。"));
    layout->addWidget(m_costHint);

    // Its accessible name stays unset, so a screen reader hears each new notice as a name change.
    m_notice = wrappedLabel(QString());
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->hide();
    layout->addWidget(m_notice);

    auto *buttons = new QHBoxLayout;
    m_delete = new QPushButton(QStringLiteral("删除已存密钥"));
    m_done = new QPushButton(QStringLiteral("完成"));
    m_save = new QPushButton(QStringLiteral("保存"));
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_done);
    buttons->addWidget(m_save);
    layout->addLayout(buttons);
    for (QPushButton *button : {m_delete, m_done, m_save})
        button->setAccessibleName(button->text());
    // A focused button presses itself on Return. Otherwise the dialog would make the first
    // button, "删除已存密钥", its default; keyPressEvent keeps Return from pressing this one.
    m_save->setDefault(true);
    connect(m_delete, &QPushButton::clicked, &m_settings, &CredentialSettings::remove);
    connect(m_done, &QPushButton::clicked, this, &CredentialSettingsDialog::reject);
    connect(m_save, &QPushButton::clicked, &m_settings, &CredentialSettings::save);
}

void CredentialSettingsDialog::applyStyle(const ChatStyle &style)
{
    m_style = style;
    setPalette(style.widgetPalette(QApplication::palette()));
    drawTitleSymbol();
    m_title->setFont(style.title2());
    for (QWidget *body : std::initializer_list<QWidget *>{
             m_intro, m_keyField, m_modelLabel, m_picker, m_link, m_delete, m_done, m_save})
        body->setFont(style.body());
    m_keyHint->setFont(style.caption());
    m_costHint->setFont(style.caption());
    m_notice->setFont(style.callout());
    for (QLabel *dimmed : {m_intro, m_keyHint, m_costHint})
        setTextColour(dimmed, style.secondaryText);

    m_link->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: transparent; "
                                         "border: none; padding: 0; text-align: left; }"
                                         "QPushButton:hover, QPushButton:focus "
                                         "{ text-decoration: underline; }")
                              .arg(rgba(style.accent)));
    // The one prominent button: filled with the accent colour.
    QColor disabled = style.accent;
    disabled.setAlphaF(0.35);
    m_save->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; "
                                         "border: 1px solid %1; border-radius: 6px; "
                                         "padding: 4px 16px; }"
                                         "QPushButton:pressed { background: %2; }"
                                         "QPushButton:focus { border: 2px solid %3; }"
                                         "QPushButton:disabled { background: %4; "
                                         "border-color: transparent; }")
                              .arg(rgba(style.accent), rgba(style.accent.darker(120)),
                                   rgba(style.accent.lighter(150)), rgba(disabled)));
    m_save->setMinimumHeight(m_done->sizeHint().height());
    refresh();
    fitHeight();
}

void CredentialSettingsDialog::drawTitleSymbol()
{
    // The key is wider than tall: a little larger than the title's text size to match it.
    const int pixels = qRound(20 * m_style.textScale);
    m_titleIcon->setPixmap(SymbolIcon::pixmap(QStringLiteral("key"), m_style.primaryText, pixels,
                                              devicePixelRatioF()));
}

void CredentialSettingsDialog::refresh()
{
    const ChatModel &model = m_settings.model();
    if (m_keyField->text() != m_settings.key())
        m_keyField->setText(m_settings.key()); // also drops the undo history of a typed key

    setTextColour(m_notice, m_settings.saved() ? m_style.successText : m_style.errorText);
    if (const QString notice = m_settings.notice(); notice != m_notice->text()) {
        m_notice->setText(notice);
        m_notice->setVisible(!notice.isEmpty());
        fitHeight();
    }

    const bool canWrite = m_settings.canWrite();
    m_delete->setEnabled(canWrite);
    m_save->setEnabled(canWrite);
    m_picker->setCurrentIndex(m_picker->findData(model.selectedModel()));
}

void CredentialSettingsDialog::fitHeight()
{
    // Fixed width; the height follows the wrapped texts and the notice.
    setFixedHeight(layout()->totalHeightForWidth(fixedWidth));
}

void CredentialSettingsDialog::reject()
{
    // With the flag still up the done action lowers it, and whoever shows the dialog closes it
    // (a chain that comes back here with the flag down). Otherwise close directly.
    if (m_settings.model().settings()) {
        m_settings.done();
        if (!isVisible())
            return;
    }
    QDialog::reject();
}

void CredentialSettingsDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_settings.appeared();
    drawTitleSymbol(); // at this screen's pixel ratio
    m_keyField->setFocus(Qt::OtherFocusReason);
}

void CredentialSettingsDialog::hideEvent(QHideEvent *event)
{
    m_settings.disappeared();
    QDialog::hideEvent(event);
}

void CredentialSettingsDialog::keyPressEvent(QKeyEvent *event)
{
    // Return reaches the dialog only from the field or the picker, never from a focused button
    // (which presses itself). Saving needs the button, so Return must not press a default one.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace pimlo
