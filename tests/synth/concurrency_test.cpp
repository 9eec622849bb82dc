// The one lock shared by the main thread and the audio thread, under ThreadSanitizer (the
// tsan preset): one thread plays notes while another renders block after block.

#include "platform/manual_audio_output.h"
#include "synth/synth_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tunescrib {
namespace {

TEST(SynthConcurrency, NotesChangeWhileAnotherThreadRenders) {
    auto device = std::make_unique<ManualAudioOutput>();
    ManualAudioOutput& output = *device;
    SynthEngine engine(std::move(device));

    // Both sides do a fixed amount of work and the renderer outlasts the control side, so
    // the overlap does not depend on how the threads happen to be scheduled.
    std::atomic<bool> controlling{true};
    int soundingBlocks = 0;
    std::thread audio([&] {
        std::vector<float> samples(2 * 64);
        AudioBuffer buffer{2, static_cast<std::uint32_t>(samples.size() * sizeof(float)),
                           samples.data()};
        for (int block = 0; block < 100000 || controlling; ++block) {
            output.renderInto(std::span(&buffer, 1), 64);
            soundingBlocks +=
                std::any_of(samples.begin(), samples.end(), [](float s) { return s != 0.0f; });
        }
    });

    const std::array<std::string, 6> sources = {"keyboard:0", "keyboard:1", "pointer:3",
                                                "pointer:12", "playback:A", "playback:B"};
    for (int step = 0; step < 50000; ++step) {
        const std::string& id = sources[step % sources.size()];
        const int kind = step % 7;
        if (kind == 0 || kind == 1 || kind == 3) {
            engine.noteOn(id, 48 + step % 30, step % 2 ? SoundMode::piano : SoundMode::sine);
        } else if (kind == 2 || kind == 4) {
            engine.noteOff(id, step % 3 == 0);
        } else {
            engine.allNotesOff(kind == 6 && step % 2 == 0);
            (void)engine.voices();
        }
    }
    controlling = false;
    audio.join();
    EXPECT_GT(soundingBlocks, 0);

    engine.allNotesOff(true);
    const std::vector<float> after = output.render(256, 2);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](float s) { return s == 0.0f; }));
}

} // namespace
} // namespace tunescrib
