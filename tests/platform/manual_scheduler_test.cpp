#include "platform/manual_scheduler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tunescrib {
namespace {

struct Fixture {
    ManualClock clock{100.0};
    ManualScheduler scheduler{clock};
    std::vector<std::string> ran;

    Scheduler::StepId at(double deadline, const std::string& name) {
        return scheduler.scheduleAt(deadline, [this, name] { ran.push_back(name); });
    }
};

TEST(ManualScheduler, RunsDueStepsByDeadlineWithTheClockAtEachDeadline) {
    Fixture f;
    std::vector<double> seen;
    f.scheduler.scheduleAt(101.5, [&] { seen.push_back(f.clock.now()); });
    f.at(100.5, "b");
    f.at(100.2, "a");
    f.at(100.5, "c"); // same deadline as b: scheduling order
    f.at(103.0, "late");
    f.scheduler.advance(2.0);
    EXPECT_EQ(f.ran, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(seen, std::vector<double>{101.5});
    EXPECT_DOUBLE_EQ(f.clock.now(), 102.0);
    EXPECT_EQ(f.scheduler.pendingCount(), 1U);
}

TEST(ManualScheduler, NeverRunsAStepFromScheduleAtEvenWhenItsDeadlinePassed) {
    Fixture f;
    f.at(50.0, "past");
    EXPECT_TRUE(f.ran.empty());
    f.scheduler.advance(0.0);
    EXPECT_EQ(f.ran, std::vector<std::string>{"past"});
}

TEST(ManualScheduler, CancelDropsPendingStepsAndIgnoresRunOrUnknownOnes) {
    Fixture f;
    const auto first = f.at(100.1, "first");
    const auto second = f.at(100.2, "second");
    f.scheduler.cancel(second);
    f.scheduler.cancel(second);
    f.scheduler.cancel(9999);
    f.scheduler.advance(1.0);
    f.scheduler.cancel(first); // already ran
    EXPECT_EQ(f.ran, std::vector<std::string>{"first"});
    EXPECT_EQ(f.scheduler.pendingCount(), 0U);
}

TEST(ManualScheduler, StepsMayScheduleAndCancelOtherSteps) {
    Fixture f;
    Scheduler::StepId victim = 0;
    f.scheduler.scheduleAt(100.1, [&] {
        f.ran.push_back("parent");
        f.at(100.3, "child in window");
        f.at(200.0, "child later");
        f.scheduler.cancel(victim);
    });
    victim = f.at(100.2, "victim");
    f.scheduler.advance(1.0);
    EXPECT_EQ(f.ran, (std::vector<std::string>{"parent", "child in window"}));
    EXPECT_EQ(f.scheduler.pendingCount(), 1U);
}

} // namespace
} // namespace tunescrib
