// The real Qt timers: order and cancellation, not timing (that is a benchmark's job).
#include "platform/qt_scheduler.h"
#include "platform/quit_on_signal.h"
#include "platform/steady_clock.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace tunescrib {
namespace {

struct QtSchedulerTest : ::testing::Test {
    int argc = 1;
    char name[16] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    SteadyClock clock;
    QtScheduler scheduler{clock};
    std::vector<std::string> ran;

    Scheduler::StepId after(double seconds, const std::string& step) {
        return scheduler.scheduleAt(clock.now() + seconds, [this, step] { ran.push_back(step); });
    }
    void runFor(double seconds) {
        scheduler.scheduleAt(clock.now() + seconds, [] { QCoreApplication::quit(); });
        QTimer::singleShot(10000, [] { QCoreApplication::exit(1); }); // a hang fails
        ASSERT_EQ(QCoreApplication::exec(), 0);
    }
};

TEST_F(QtSchedulerTest, RunsStepsInDeadlineOrderNeverFromScheduleAt) {
    after(0.030, "third");
    after(0.010, "second");
    after(-5.0, "overdue");
    EXPECT_TRUE(ran.empty());
    runFor(0.060);
    EXPECT_EQ(ran, (std::vector<std::string>{"overdue", "second", "third"}));
}

TEST_F(QtSchedulerTest, CancelledStepsNeverRunAndLateCancelsHitNothingElse) {
    const auto cancelled = after(0.010, "cancelled");
    const auto early = after(0.005, "early");
    scheduler.cancel(cancelled);
    // Qt hands out freed timer ids again, last freed first: the second step scheduled
    // here reuses the id `early` ran under. Cancelling `early` late must not cancel it.
    scheduler.scheduleAt(clock.now() + 0.015, [&] {
        after(0.010, "first scheduled by a step");
        after(0.012, "second scheduled by a step");
        scheduler.cancel(early);
        scheduler.cancel(cancelled);
    });
    runFor(0.060);
    EXPECT_EQ(ran, (std::vector<std::string>{"early", "first scheduled by a step",
                                             "second scheduled by a step"}));
}

// A SIGTERM (a logout, a kill) ends the event loop as closing the window does, so that
// main() returns and the settings write in flight completes; it does not end the process.
TEST_F(QtSchedulerTest, ATerminationSignalEndsTheEventLoopNotTheProcess) {
    quitOnTerminationSignals(app);
    scheduler.scheduleAt(clock.now(), [] { std::raise(SIGTERM); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); }); // a hang fails
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

} // namespace
} // namespace tunescrib
