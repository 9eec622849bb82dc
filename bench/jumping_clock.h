#pragma once
// The monotonic clock, which a benchmark can jump forward so that a take of minutes is
// recorded in no time.

#include "platform/steady_clock.h"

namespace tunescrib {

class JumpingClock final : public Clock {
public:
    [[nodiscard]] double now() const override { return base.now() + offset; }
    void jump(double seconds) { offset += seconds; }

private:
    SteadyClock base;
    double offset = 0.0;
};

} // namespace tunescrib
