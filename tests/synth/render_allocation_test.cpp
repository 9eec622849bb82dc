// On the audio thread the heap can block: rendering must neither allocate nor free, also
// while voices retire. Every operator new and delete of this program is counted.

#include "synth_rig.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> heapCalls{0};
}

// Not inlined, so the compiler does not pair malloc with operator delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
    ++heapCalls;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    ++heapCalls;
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    ++heapCalls;
    std::free(p);
}

namespace tunescrib::testing {
namespace {

TEST(RenderAllocation, NoHeapCallsWhileRenderingAndRetiringVoices) {
    auto device = std::make_unique<ManualAudioOutput>();
    ManualAudioOutput& output = *device;
    SynthEngine engine(std::move(device));
    // As many voices as a long take overlaps, with no limit; identifiers too long for the
    // small-string buffer, as playback's are; half released.
    for (int i = 0; i < 150; ++i) {
        const std::string id = "playback:" + std::to_string(i) + "-ABCDEF01-2345-6789-ABCD-EF01";
        engine.noteOn(id, 40 + i % 50, i % 2 ? SoundMode::piano : SoundMode::sine);
        if (i < 75) {
            engine.noteOff(id);
        }
    }
    ASSERT_EQ(engine.voices().size(), 150U);
    std::vector<float> interleaved(2 * 512), left(512), right(512);
    std::array<AudioBuffer, 3> buffers{AudioBuffer{2, 2 * 512 * sizeof(float), interleaved.data()},
                                       AudioBuffer{1, 512 * sizeof(float), left.data()},
                                       AudioBuffer{1, 512 * sizeof(float), right.data()}};

    const long before = heapCalls.load();
    for (int block = 0; block < 150; ++block) { // 1.6 s: the released voices retire
        output.renderInto(buffers, 512);
    }
    EXPECT_EQ(heapCalls.load() - before, 0);
    EXPECT_EQ(engine.voices().size(), 75U) << "the released half retired during the count";
}

} // namespace
} // namespace tunescrib::testing
