#include "app/SingleInstance.h"

#include <QDir>
#include <QTest>

using namespace pimlo;

class SingleInstanceTest : public QObject
{
    Q_OBJECT

    static void row(const char *tag, uint uid, const char *display, const char *dir, QString name)
    {
        QTest::newRow(tag) << uid << QString(display) << QString(dir) << name;
    }

private Q_SLOTS:
    void serverName_data()
    {
        QTest::addColumn<uint>("uid");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<QString>("name");
        row("plain", 1000, ":0", "/run/user/1000", "/run/user/1000/pimlo-1000-0");
        // One desktop however DISPLAY spells it; another display or user is another desktop.
        row("screen", 1000, ":0.0", "/r", "/r/pimlo-1000-0");
        row("unix host", 1000, "unix:0.1", "/r", "/r/pimlo-1000-0");
        row("other user", 1001, ":0", "/r", "/r/pimlo-1001-0");
        row("tcp host", 1000, "localhost:10.0", "/r", "/r/pimlo-1000-localhost_10");
        row("path in host", 0, "/tmp/x/org.x:0", "/r", "/r/pimlo-0-_tmp_x_org.x_0");
        row("no display", 0, "", "/r", "/r/pimlo-0-none");
        row("no runtime dir", 0, ":1", "", QDir::tempPath() + "/pimlo-0-1");
    }

    void serverName()
    {
        QFETCH(uint, uid);
        QFETCH(QString, display);
        QFETCH(QString, runtimeDir);
        QFETCH(QString, name);
        QCOMPARE(SingleInstance::serverName(uid, display, runtimeDir), name);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
