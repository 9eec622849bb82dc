#pragma once
// Monotonic time in seconds, as the model reads it for recording and playback.

namespace tunescrib {

// Main thread only (implementations need not be thread-safe).
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary fixed point; never goes backwards, unaffected by changes
    // of the wall-clock time. Only differences of readings mean anything.
    [[nodiscard]] virtual double now() const = 0;
};

} // namespace tunescrib
