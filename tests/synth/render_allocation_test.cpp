// The render routine runs on the audio thread, where taking memory from the heap can
// block: it must neither allocate nor free, also while voices retire. Every operator new
// and delete of this test program is counted.

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
    // Identifiers too long for the small-string buffer, as playback's are.
    for (int i = 0; i < 12; ++i) {
        engine.noteOn("playback:" + std::to_string(i) + "-ABCDEF01-2345-6789-ABCD-EF0123456789",
                      48 + i, i % 2 ? SoundMode::piano : SoundMode::sine);
    }
    for (int i = 0; i < 6; ++i) {
        engine.noteOff("playback:" + std::to_string(i) + "-ABCDEF01-2345-6789-ABCD-EF0123456789");
    }
    std::vector<float> interleaved(2 * 512);
    std::vector<float> left(512);
    std::vector<float> right(512);
    std::array<AudioBuffer, 3> buffers{
        AudioBuffer{2, static_cast<std::uint32_t>(interleaved.size() * sizeof(float)),
                    interleaved.data()},
        AudioBuffer{1, 512 * sizeof(float), left.data()},
        AudioBuffer{1, 512 * sizeof(float), right.data()}};

    const long before = heapCalls.load();
    for (int block = 0; block < 400; ++block) { // 4.3 s: the released voices retire
        output.renderInto(buffers, 512);
    }
    const long during = heapCalls.load() - before;

    EXPECT_EQ(during, 0);
    EXPECT_EQ(engine.voices().size(), 6U) << "the released half retired during the count";
}

} // namespace
} // namespace tunescrib::testing
