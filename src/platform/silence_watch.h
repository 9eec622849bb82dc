#pragma once
// Tells when an output has carried nothing but exact silence for long enough that its
// thread may sleep until there is something to play. Audio thread only; allocates nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tunescrib {

class SilenceWatch {
public:
    explicit SilenceWatch(std::int64_t framesBeforeSleep) : limit(framesBeforeSleep) {}

    // Counts one block of `frames` frames held in `sampleCount` samples. True once the
    // frames since the last non-zero sample (or since reset) reach the limit.
    bool countBlock(const float* samples, std::size_t sampleCount, std::int64_t frames) {
        const bool silent = std::all_of(samples, samples + sampleCount,
                                        [](float sample) { return sample == 0.0F; });
        silentFrames = silent ? silentFrames + frames : 0;
        return silentFrames >= limit;
    }

    void reset() { silentFrames = 0; }

private:
    std::int64_t limit;
    std::int64_t silentFrames = 0;
};

} // namespace tunescrib
