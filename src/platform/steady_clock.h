#pragma once
// The process's monotonic clock (CLOCK_MONOTONIC), the production Clock.

#include "platform/clock.h"

namespace tunescrib {

// Any thread.
class SteadyClock final : public Clock {
public:
    [[nodiscard]] double now() const override;
};

} // namespace tunescrib
