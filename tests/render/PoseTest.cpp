#include "render/HappyPose.h"
#include "render/SleepPetView.h"
#include "render/SleepPose.h"

#include <QTest>
#include <limits>

using namespace pimlo;

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
} // namespace

// QCOMPARE on doubles is fuzzy: relative 1e-12, or absolute 1e-12 against 0.
class PoseTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void happyPose_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("lift");
        QTest::addColumn<double>("hearts");
        QTest::addColumn<double>("squash");
        QTest::newRow("anticipation squash") << 0.1 << 0.0 << 0.0 << 0.965;
        QTest::newRow("hearts fading in") << 0.265 << 3.4034 << 0.5 << 1.0;
        QTest::newRow("top of the jump") << 0.7 << 14.0 << 1.0 << 1.0;
        QTest::newRow("hearts fading out") << 1.125 << 3.885 << 0.5 << 1.0;
        QTest::newRow("landing squash") << 1.4 << 0.0 << 0.0 << 0.965;
        QTest::newRow("long after") << 10.0 << 0.0 << 0.0 << 1.0;
        QTest::newRow("negative") << -3.0 << 0.0 << 0.0 << 1.0;
        QTest::newRow("NaN") << notANumber << 0.0 << 0.0 << 1.0;
    }

    void happyPose()
    {
        QFETCH(double, time);
        QFETCH(double, lift);
        QFETCH(double, hearts);
        QFETCH(double, squash);
        const HappyPose pose(time);
        QCOMPARE(pose.lift, lift);
        QCOMPARE(pose.hearts, hearts);
        QCOMPARE(pose.squash, squash);
    }

    void sleepPose_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("eyelids");
        QTest::addColumn<double>("blend");
        QTest::addColumn<bool>("resting");
        QTest::addColumn<int>("frame");
        QTest::newRow("eyes half closed") << 0.45 << 0.5 << 0.0 << false << 10;
        QTest::newRow("cross-fade in") << 1.475 << 1.0 << 0.5 << false << 20;
        QTest::newRow("settled") << 1.75 << 1.0 << 1.0 << true << 20;
        QTest::newRow("wakes") << 4.8 << 1.0 << 1.0 << false << 20;
        QTest::newRow("cross-fade out") << 5.1 << 0.648 << 0.5 << false << 13;
        // Off the midpoint, smoothstep and a linear fade differ.
        QTest::newRow("eyes half open") << 5.15 << 0.5 << 325.0 / 864 << false << 10;
        QTest::newRow("long after") << 10.0 << 0.0 << 0.0 << false << 0;
        QTest::newRow("negative") << -3.0 << 0.0 << 0.0 << false << 0;
        QTest::newRow("NaN") << notANumber << 0.0 << 0.0 << false << 0;
    }

    void sleepPose()
    {
        QFETCH(double, time);
        QFETCH(double, eyelids);
        QFETCH(double, blend);
        QFETCH(bool, resting);
        QFETCH(int, frame);
        const SleepPose pose(time);
        QCOMPARE(pose.eyelids, eyelids);
        QCOMPARE(pose.blend, blend);
        QCOMPARE(pose.resting, resting);
        QCOMPARE(SleepPetView::eyelidFrameIndex(pose.eyelids), frame);
    }

    void eyelidFrameIndex_data()
    {
        QTest::addColumn<double>("eyelids");
        QTest::addColumn<int>("frame");
        // Halves round away from zero, not to even.
        QTest::newRow("2.5") << 0.125 << 3;
        QTest::newRow("just below 12.5") << 0.6249 << 12;
        QTest::newRow("beyond closed") << 1.3 << 20;
        QTest::newRow("negative") << -0.2 << 0;
        QTest::newRow("NaN") << notANumber << 0;
    }

    void eyelidFrameIndex()
    {
        QFETCH(double, eyelids);
        QFETCH(int, frame);
        QCOMPARE(SleepPetView::eyelidFrameIndex(eyelids), frame);
    }
};

QTEST_GUILESS_MAIN(PoseTest)
#include "PoseTest.moc"
