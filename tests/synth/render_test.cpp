// The render routine against the reference: timbres, envelopes, retirement, mixing and
// every buffer layout the output may hand it.

#include "synth_rig.h"

#include "synth/synth_render_state.h"

#include <numbers>

namespace tunescrib::testing {
namespace {

// Both timbres from the lowest to the highest note, summed before the clip, in block sizes
// that do and do not divide the renderer's own chunking, through attack, hold and release.
// A noteOn for a released source restarts it from silence. A noteOff after allNotesOff
// gives the slower single-note release back (the reference takes it from the rig's calls,
// so a kept coefficient shows as a mismatch).
TEST(Render, VoicesMatchTheReferenceFromAttackThroughRelease) {
    SynthRig rig;
    rig.noteOn("low", 24, SoundMode::piano);
    rig.noteOn("c", 60, SoundMode::piano);
    rig.noteOn("twin", 60, SoundMode::piano); // the same note twice adds linearly
    rig.noteOn("a", 69, SoundMode::sine);
    EXPECT_EQ(rig.block(37)[0], 0.0f) << "age 0 means attack 0";
    rig.noteOn("high", 115, SoundMode::sine);
    rig.noteOn("highPiano", 115, SoundMode::piano);
    for (const std::int64_t frames : {100, 256, 1000, 37, 4800}) {
        for (int i = 0; i < 5; ++i) {
            rig.block(frames);
        }
    }
    rig.noteOff("a");
    rig.block(1000);
    rig.noteOn("a", 62, SoundMode::piano);
    rig.block(256);
    rig.allNotesOff();
    rig.block(480);
    rig.noteOff("c");
    rig.renderUntilSilent(100, 3.0);
    EXPECT_TRUE(rig.engine->voices().empty());
    EXPECT_EQ(rig.reference.voiceCount(), 0U);
}

// A voice is retired ln(2000) release times after its release, at the end of that block,
// or once older than 18 s (the reference cuts it too, so every block before is checked).
TEST(Render, RetirementComesAtTheEndOfTheBlockWhereTheGainFallsBelowTheFloor) {
    enum class Release { none, noteOff, allNotesOff };
    struct Case {
        SoundMode mode;
        Release release;
        double seconds;
    };
    for (const auto& c : {Case{SoundMode::piano, Release::noteOff, 1.216},
                          Case{SoundMode::sine, Release::noteOff, 0.532},
                          Case{SoundMode::piano, Release::allNotesOff, 0.912},
                          Case{SoundMode::sine, Release::allNotesOff, 0.380},
                          Case{SoundMode::sine, Release::none, 17.9}}) {
        SCOPED_TRACE(std::to_string(c.seconds) + " s");
        SynthRig rig;
        rig.noteOn("n", 69, c.mode);
        rig.block(4800, 1);
        if (c.release != Release::none) {
            c.release == Release::noteOff ? rig.noteOff("n") : rig.allNotesOff();
        }
        EXPECT_NEAR(rig.renderUntilSilent(256, 20.0), c.seconds, 256 / 48000.0 + 1e-9);
        // No voice is left, yet the device's buffer must be cleared, or it plays old samples.
        std::vector<float> samples(64, 1.0f);
        AudioBuffer buffer{1, 64 * sizeof(float), samples.data()};
        rig.output->renderInto(std::span(&buffer, 1), 64);
        EXPECT_EQ(std::count(samples.begin(), samples.end(), 0.0f), 64);
    }
}

// MIDI 135 at 8 kHz turns the phase by more than a whole cycle per frame.
TEST(Render, ThePhaseStaysInItsRangeForAnyIncrement) {
    SynthRenderState state;
    state.sampleRate = 8000.0;
    for (const std::int64_t midi : {0, 69, 115, 135}) {
        std::string id = "m" + std::to_string(midi);
        state.voices.put(id, SynthVoice{.midi = midi, .mode = SoundMode::sine});
    }
    for (int i = 0; i < 50; ++i) {
        renderBlock(state, {}, 173, 1.0f);
        for (const VoiceSlot& slot : state.voices.slots()) {
            ASSERT_GE(slot.voice.phase, 0.0);
            ASSERT_LT(slot.voice.phase, 2 * std::numbers::pi);
        }
    }
}

// Each buffer carries max(channels, 1) interleaved channels, a buffer without data is
// skipped, nothing is written past the bytes a buffer declares, and the voices advance by
// the frames asked for whatever the buffers (the next block still matches the reference).
TEST(Render, EveryChannelOfEveryBufferCarriesTheSameSampleAndNoMore) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> channels; // per buffer; 0 declares no channels
        std::vector<bool> hasData;
        std::int64_t frames;
        std::uint32_t shortBy = 0; // bytes the first buffer declares below what it needs
    };
    const Case cases[] = {
        {"mono", {1}, {true}, 256},
        {"interleaved stereo", {2}, {true}, 256},
        {"two mono buffers", {1, 1}, {true, true}, 256},
        {"six channels", {6}, {true}, 300},
        {"zero channels as one", {0}, {true}, 128},
        {"an absent data area", {1, 1, 2}, {true, false, true}, 256},
        {"no buffers at all", {}, {}, 256},
        {"zero frames", {2}, {true}, 0},
        {"fewer bytes than frames", {2}, {true}, 256, 40},
        {"part of a frame", {2}, {true}, 256, 4},
    };
    for (const auto& layout : cases) {
        SCOPED_TRACE(layout.name);
        constexpr float untouched = -7.0f;
        SynthRig rig;
        rig.noteOn("a", 69, SoundMode::sine);
        rig.noteOn("b", 57, SoundMode::piano);
        rig.block(1000, 1);
        std::vector<float> expected(static_cast<std::size_t>(layout.frames));
        rig.reference.render(expected.data(), 1, layout.frames, mainOutputVolume);

        std::vector<std::vector<float>> storage;
        std::vector<AudioBuffer> buffers;
        for (std::size_t b = 0; b < layout.channels.size(); ++b) {
            const std::uint32_t c = std::max(layout.channels[b], 1U);
            // Room for the frames plus a guard band that must stay untouched.
            storage.emplace_back(static_cast<std::size_t>(layout.frames) * c + 16, untouched);
            const auto bytes = static_cast<std::uint32_t>(layout.frames * c * sizeof(float)) -
                               (b == 0 ? layout.shortBy : 0);
            buffers.push_back(AudioBuffer{layout.channels[b], bytes,
                                          layout.hasData[b] ? storage.back().data() : nullptr});
        }
        rig.output->renderInto(buffers, layout.frames);

        for (std::size_t b = 0; b < buffers.size(); ++b) {
            const std::uint32_t c = std::max(layout.channels[b], 1U);
            const std::size_t declared =
                layout.hasData[b] ? buffers[b].byteSize / sizeof(float) : 0;
            for (std::size_t k = 0; k < storage[b].size(); ++k) {
                ASSERT_NEAR(storage[b][k], k < declared ? expected[k / c] : untouched, 1e-6)
                    << "buffer " << b << " slot " << k;
            }
        }
        rig.block(64, 1);
    }
}

} // namespace
} // namespace tunescrib::testing
