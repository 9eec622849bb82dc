#pragma once
// A clock for tests: it stands still until told to move.

#include "platform/clock.h"

namespace tunescrib {

// Main thread only.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : current(start) {}
    [[nodiscard]] double now() const override { return current; }
    // Moves time forward; a negative step is ignored, time never runs backwards.
    void advance(double seconds) {
        if (seconds > 0) {
            current += seconds;
        }
    }

private:
    double current;
};

} // namespace tunescrib
