#include "platform/DisplaySession.h"

#include <QTest>

class DisplaySessionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forcedPlatform_data()
    {
        QTest::addColumn<QByteArray>("qpa");
        QTest::addColumn<QByteArray>("sessionType");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArray>("forced");
        QTest::newRow("x11 session")
            << QByteArray() << QByteArray("x11") << QByteArray() << QByteArray();
        QTest::newRow("wayland session")
            << QByteArray() << QByteArray("wayland") << QByteArray() << QByteArray("xcb");
        QTest::newRow("wayland display only")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << QByteArray("xcb");
        QTest::newRow("session type in capitals")
            << QByteArray() << QByteArray("Wayland") << QByteArray() << QByteArray("xcb");
        QTest::newRow("user's choice wins") << QByteArray("wayland") << QByteArray("wayland")
                                            << QByteArray("wayland-0") << QByteArray();
        QTest::newRow("no session at all")
            << QByteArray() << QByteArray() << QByteArray() << QByteArray();
    }
    void forcedPlatform()
    {
        QFETCH(QByteArray, qpa);
        QFETCH(QByteArray, sessionType);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, forced);
        QCOMPARE(pimlo::DisplaySession::forcedPlatform(qpa, sessionType, waylandDisplay), forced);
    }
};

QTEST_GUILESS_MAIN(DisplaySessionTest)
#include "DisplaySessionTest.moc"
