#include "app/Autostart.h"

#include <QTest>

using namespace pimlo;

class AutostartTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The desktop reads the Exec line as string escapes first, then as quoted arguments.
    void execLine_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << QString("/usr/bin/pimlo") << "Exec=/usr/bin/pimlo";
        QTest::newRow("space") << QString("/opt/my pets/pimlo") << "Exec=\"/opt/my pets/pimlo\"";
        QTest::newRow("percent") << QString("/opt/100%/pimlo") << "Exec=/opt/100%%/pimlo";
        QTest::newRow("quote, dollar, backslash")
            << QString("/a\"b$c\\d") << "Exec=\"/a\\\\\"b\\\\$c\\\\\\\\d\"";
    }

    void execLine()
    {
        QFETCH(QString, executable);
        QFETCH(QString, exec);
        const QStringList lines = Autostart::entryText(executable).split(u'\n');
        QVERIFY(lines.contains(exec));
        QVERIFY(lines.contains(QStringLiteral("X-GNOME-Autostart-enabled=true")));
    }
};

QTEST_GUILESS_MAIN(AutostartTest)
#include "AutostartTest.moc"
