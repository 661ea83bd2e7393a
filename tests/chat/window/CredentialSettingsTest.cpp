#include "chat/window/CredentialSettings.h"
#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/model/ChatModel.h"
#include "chat/model/ReplyJob.h"
#include "chat/window/CredentialSettingsDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

using namespace pimlo;

namespace {

const QString enterKey = "请输入 API Key。";
const QString noSpaces = "密钥不能含空格或换行，请检查粘贴内容。";
const QString keySaved = "已保存到钥匙串。可关闭此窗口，发送消息或重试。";
const QString keyDeleted = "已删除此电脑上的密钥。";

template <typename Widget> Widget *named(QWidget &parent, const QString &accessibleName)
{
    for (Widget *widget : parent.findChildren<Widget *>())
        if (widget->accessibleName() == accessibleName)
            return widget;
    return nullptr;
}

QVariant preference()
{
    return QSettings().value("deepseekModel");
}

// The form shown over a key store of one slot, which throws `failure` instead of writing when it
// is set, and a model whose replies wait until cancelled (so it stays busy). "DeepSeek V4 Pro"
// was chosen before the form opened.
struct Form
{
    std::optional<std::string> stored = "sk-old";
    QString failure;
    int writes = 0;
    ChatModel model{[] { return std::optional<std::string>("sk-old"); },
                    [](auto &, auto &, auto &, CancelToken &cancel) -> std::string {
                        while (!cancel.isCancelled())
                            QThread::msleep(2);
                        throw std::runtime_error("cancelled");
                    }};
    CredentialSettings settings{model, store()};

    Form()
    {
        QSettings().remove("deepseekModel");
        model.setSelectedModel("deepseek-v4-pro");
        settings.appeared();
    }
    ~Form()
    {
        model.newConversation();
        ReplyJob::waitForDone(10'000);
    }
    CredentialSettings::Store store()
    {
        auto write = [this](std::optional<std::string> key) {
            ++writes;
            if (!failure.isEmpty())
                throw ChatFailure(failure.toStdString());
            stored = std::move(key);
        };
        return {[write](const std::string &key) { write(key); }, [write] { write({}); }};
    }
};

} // namespace

class CredentialSettingsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void write_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused"); // the store throws the notice
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("stored");
        const auto row = [](const char *name, bool remove, const QString &typed, bool refused,
                            const QString &notice, const QString &stored) {
            QTest::newRow(name) << remove << typed << refused << notice << stored;
        };
        row("nothing", false, "", false, enterKey, "sk-old");
        row("blanks", false, " \n\t\u3000", false, enterKey, "sk-old");
        row("space inside", false, "sk-ab cd", false, noSpaces, "sk-old");
        row("line break inside", false, "sk-ab\r\ncd", false, noSpaces, "sk-old");
        row("ideographic space inside", false, "sk-ab\u3000cd", false, noSpaces, "sk-old");
        row("zero-width space inside", false, "sk-ab\u200bcd", false, noSpaces, "sk-old");
        row("pasted line break", false, "sk-new\n", false, keySaved, "sk-new");
        row("blanks around", false, "\u00a0 sk-new\u3000\r\n", false, keySaved, "sk-new");
        row("store refuses", false, "sk-new", true, "钥匙串保存失败，原密钥未更新。", "sk-old");
        row("delete", true, "sk-new", false, keyDeleted, "");
        row("delete refused", true, "sk-new", true, "无法删除钥匙串中的密钥。", "sk-old");
    }
    // The notice and its colour, the stored key, the field, and the model choice written with a
    // key that was saved.
    void write()
    {
        QFETCH(bool, remove);
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        QFETCH(QString, notice);
        QFETCH(QString, stored);
        Form f;
        f.failure = refused ? notice : QString();
        f.settings.setKey(typed);
        remove ? f.settings.remove() : f.settings.save();
        const bool worked = notice == keySaved || notice == keyDeleted;
        QCOMPARE(f.settings.notice(), notice);
        QCOMPARE(f.settings.saved(), worked);
        QCOMPARE(QString::fromStdString(f.stored.value_or("")), stored);
        QCOMPARE(f.settings.key(), worked ? QString() : typed);
        QCOMPARE(preference(), worked && !remove ? QVariant("deepseek-v4-pro") : QVariant());
    }

    // While a reply is in flight the stored key stays as it is; a new model choice is still
    // written at once, but only while the form is shown.
    void busy()
    {
        Form f;
        f.model.setDraft("你好");
        f.model.send();
        f.settings.setKey("sk-new");
        f.settings.save();
        f.settings.remove();
        QCOMPARE(f.writes, 0);
        QCOMPARE(f.settings.notice(), QString());
        f.model.setSelectedModel("deepseek-flash");
        QCOMPARE(preference(), QVariant("deepseek-flash"));
        f.settings.disappeared();
        f.model.setSelectedModel("deepseek-v4-pro");
        QCOMPARE(preference(), QVariant("deepseek-flash"));
    }

    // However the dialog closes, the typed key is gone, and it opens again empty and quiet.
    void dialogCloses_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Escape") << 0;
        QTest::newRow("完成") << 1;
        QTest::newRow("closed by the chat") << 2;
    }
    void dialogCloses()
    {
        QFETCH(int, how);
        Form f;
        f.settings.disappeared(); // only the dialog's own form is shown
        const ChatStyle style = ChatStyle::make(false, QApplication::palette(), 13);
        CredentialSettingsDialog dialog(f.model, style, nullptr, f.store());
        auto *field = named<QLineEdit>(dialog, "DeepSeek API Key");
        f.model.setSelectedModel("deepseek-flash");
        f.model.setSettings(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, "sk-ty ped");
        QTest::keyClick(field, Qt::Key_Return); // saving needs the button
        QCOMPARE(dialog.settings().notice(), QString());
        QTest::keyClick(named<QComboBox>(dialog, "模型"), Qt::Key_Down);
        QCOMPARE(preference(), QVariant("deepseek-v4-pro"));
        named<QPushButton>(dialog, "保存")->click();
        auto *notice = dialog.findChild<QLabel *>("notice");
        QCOMPARE(notice->text(), noSpaces);
        QCOMPARE(notice->palette().color(QPalette::WindowText), style.errorText);
        QCOMPARE(field->text(), "sk-ty ped");

        if (how == 2)
            f.model.setSettings(false); // then the chat closes the dialog
        if (how == 0)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (how == 1)
            named<QPushButton>(dialog, "完成")->click();
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!f.model.settings());
        QCOMPARE(field->text(), QString());
        f.model.setSettings(true);
        dialog.show();
        QVERIFY(notice->isHidden());
    }
};

QTEST_MAIN(CredentialSettingsTest)
#include "CredentialSettingsTest.moc"
