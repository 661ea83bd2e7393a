#include "app/PetController.h"

#include <QTest>

using namespace pimlo;

// Two pets told the same at the same times: one ticks at 30 Hz, the other skips the ticks its
// controller calls quiet. They must show the same scene throughout a day of nap, greeting, menu,
// walks, a click and the chat window.
class PetControllerQuietTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void skippedTicksChangeNothing()
    {
        double now = 1000;
        bool chat = false;
        const PetController::Seams seams{
            .clock = [&] { return now; },
            .visibleFrame = [] { return std::optional(makeRect(0, 0, 1440, 875)); },
            .isChatOpen = [&] { return chat; }};
        PetController awake({1200, 40}, seams), sleepy({1200, 40}, seams);
        int sleepyTicks = 0;
        // Runs both until the time, then tells both the event.
        const auto at = [&](double end, const std::function<void(PetController &)> &event) {
            while (now + 1.0 / 30 <= end && !QTest::currentTestFailed()) {
                now += 1.0 / 30;
                awake.updateMotion();
                if (!sleepy.quietUntil() || *sleepy.quietUntil() <= now)
                    sleepy.updateMotion(), ++sleepyTicks;
                QVERIFY2(sleepy.scene() == awake.scene(), qPrintable(QString::number(now)));
            }
            event(awake), event(sleepy);
        };
        at(1000, &PetController::scheduleLaunchNap);
        at(1010, &PetController::showGreeting); // resting until 1030
        at(1015, &PetController::menuWillOpen); // ... and until 1035
        at(1020, &PetController::menuDidClose); // then walking
        at(1038, [](PetController &pet) { pet.pressBegan(), pet.pressEnded(false); });
        at(1045, [&](PetController &) { chat = true; }); // frozen past the departure at 1059.6
        at(1062, [&](PetController &pet) { chat = false, pet.finishAction(now); });
        at(1100, [](PetController &) {});
        QVERIFY(sleepyTicks < 100 * 30 / 2); // it rested most of the time
    }
};

QTEST_APPLESS_MAIN(PetControllerQuietTest)
#include "PetControllerQuietTest.moc"
