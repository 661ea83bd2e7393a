#include "render/HappyPose.h"
#include "render/SleepPetView.h"
#include "render/SleepPose.h"

#include <QTest>
#include <limits>

using namespace pimlo;

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
} // namespace

class PoseTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void happyPose_data();
    void happyPose();
    void sleepPose_data();
    void sleepPose();
    void eyelidFrameIndex_data();
    void eyelidFrameIndex();
};

void PoseTest::happyPose_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("lift");
    QTest::addColumn<double>("hearts");
    QTest::addColumn<double>("squash");

    QTest::newRow("start") << 0.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("anticipation squash") << 0.1 << 0.0 << 0.0 << 0.965;
    QTest::newRow("jump begins") << 0.2 << 0.0 << 0.0 << 1.0;
    QTest::newRow("hearts fading in") << 0.265 << 3.4034 << 0.5 << 1.0;
    QTest::newRow("top of the jump") << 0.7 << 14.0 << 1.0 << 1.0;
    QTest::newRow("hearts fading out") << 1.125 << 3.885 << 0.5 << 1.0;
    QTest::newRow("landing begins") << 1.2 << 0.0 << 0.0 << 1.0;
    QTest::newRow("landing squash") << 1.4 << 0.0 << 0.0 << 0.965;
    QTest::newRow("end") << 1.6 << 0.0 << 0.0 << 1.0;
    QTest::newRow("long after") << 10.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("infinity") << inf << 0.0 << 0.0 << 1.0;
    QTest::newRow("negative") << -3.0 << 0.0 << 0.0 << 1.0;
    QTest::newRow("NaN") << notANumber << 0.0 << 0.0 << 1.0;
}

void PoseTest::happyPose()
{
    QFETCH(double, time);
    QFETCH(double, lift);
    QFETCH(double, hearts);
    QFETCH(double, squash);
    const HappyPose pose(time);
    QVERIFY2(std::abs(pose.lift - lift) < 1e-9, qPrintable(QString::number(pose.lift, 'g', 17)));
    QVERIFY2(std::abs(pose.hearts - hearts) < 1e-9,
             qPrintable(QString::number(pose.hearts, 'g', 17)));
    QVERIFY2(std::abs(pose.squash - squash) < 1e-9,
             qPrintable(QString::number(pose.squash, 'g', 17)));
}

void PoseTest::sleepPose_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("eyelids");
    QTest::addColumn<double>("blend");
    QTest::addColumn<bool>("resting");
    QTest::addColumn<int>("frame");

    QTest::newRow("start") << 0.0 << 0.0 << 0.0 << false << 0;
    QTest::newRow("eyes half closed") << 0.45 << 0.5 << 0.0 << false << 10;
    QTest::newRow("eyes closed") << 0.9 << 1.0 << 0.0 << false << 20;
    QTest::newRow("cross-fade in") << 1.475 << 1.0 << 0.5 << false << 20;
    QTest::newRow("settled") << 1.75 << 1.0 << 1.0 << true << 20;
    QTest::newRow("wakes") << 4.8 << 1.0 << 1.0 << false << 20;
    QTest::newRow("cross-fade out") << 5.1 << 0.648 << 0.5 << false << 13;
    QTest::newRow("eyes half open") << 5.15 << 0.5 << 325.0 / 864 << false << 10;
    QTest::newRow("end") << 5.4 << 0.0 << 0.0 << false << 0;
    QTest::newRow("long after") << 10.0 << 0.0 << 0.0 << false << 0;
    QTest::newRow("infinity") << inf << 0.0 << 0.0 << false << 0;
    QTest::newRow("negative") << -3.0 << 0.0 << 0.0 << false << 0;
    QTest::newRow("NaN") << notANumber << 0.0 << 0.0 << false << 0;
}

void PoseTest::sleepPose()
{
    QFETCH(double, time);
    QFETCH(double, eyelids);
    QFETCH(double, blend);
    QFETCH(bool, resting);
    QFETCH(int, frame);
    const SleepPose pose(time);
    QVERIFY2(std::abs(pose.eyelids - eyelids) < 1e-9,
             qPrintable(QString::number(pose.eyelids, 'g', 17)));
    QVERIFY2(std::abs(pose.blend - blend) < 1e-9, qPrintable(QString::number(pose.blend, 'g', 17)));
    QCOMPARE(pose.resting, resting);
    QCOMPARE(SleepPetView::eyelidFrameIndex(pose.eyelids), frame);
}

void PoseTest::eyelidFrameIndex_data()
{
    QTest::addColumn<double>("eyelids");
    QTest::addColumn<int>("frame");

    // Halves round away from zero, not to even.
    QTest::newRow("2.5") << 0.125 << 3;
    QTest::newRow("12.5") << 0.625 << 13;
    QTest::newRow("17.5") << 0.875 << 18;
    QTest::newRow("just below a half") << 0.6249 << 12;
    QTest::newRow("open") << 0.0 << 0;
    QTest::newRow("closed") << 1.0 << 20;
    QTest::newRow("beyond closed") << 1.3 << 20;
    QTest::newRow("negative") << -0.2 << 0;
    QTest::newRow("NaN") << notANumber << 0;
}

void PoseTest::eyelidFrameIndex()
{
    QFETCH(double, eyelids);
    QFETCH(int, frame);
    QCOMPARE(SleepPetView::eyelidFrameIndex(eyelids), frame);
}

QTEST_GUILESS_MAIN(PoseTest)
#include "PoseTest.moc"
