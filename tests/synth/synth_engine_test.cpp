// The synthesizer against the reference on a manual output, then its control side (a
// failing restart is the app's audio failure rows).

#include "synth_rig.h"

#include "synth/synth_render_state.h"

#include <numbers>

namespace tunescrib::testing {
namespace {

// Both timbres over the whole range, summed before the clip, in blocks that do and do not
// divide the renderer's chunks; a released source restarted from silence; a noteOff after
// allNotesOff gives the slower release back (a kept coefficient shows as a mismatch).
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

// Each buffer carries max(channels, 1) interleaved channels, none is written past the bytes
// it declares, and the voices advance by the frames asked for whatever the buffers.
TEST(Render, EveryChannelOfEveryBufferCarriesTheSameSampleAndNoMore) {
    struct Case {
        const char* name;
        std::vector<int> channels; // per buffer; 0 declares none, negative: no data area
        std::int64_t frames;
        std::uint32_t shortBy = 0; // bytes the first buffer declares below what it needs
    };
    const Case cases[] = {
        {"mono", {1}, 256},
        {"interleaved stereo", {2}, 256},
        {"two mono buffers", {1, 1}, 256},
        {"six channels", {6}, 300},
        {"zero channels as one", {0}, 128},
        {"an absent data area", {1, -1, 2}, 256},
        {"no buffers at all", {}, 256},
        {"zero frames", {2}, 0},
        {"fewer bytes than frames", {2}, 256, 40},
        {"part of a frame", {2}, 256, 4},
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

        // Room for the frames plus a guard band that must stay untouched.
        std::vector<std::vector<float>> storage;
        std::vector<AudioBuffer> buffers;
        for (const int channels : layout.channels) {
            const auto c = static_cast<std::uint32_t>(std::max(std::abs(channels), 1));
            storage.emplace_back(static_cast<std::size_t>(layout.frames) * c + 16, untouched);
            const auto bytes = static_cast<std::uint32_t>(layout.frames * c * sizeof(float)) -
                               (buffers.empty() ? layout.shortBy : 0);
            buffers.push_back(AudioBuffer{static_cast<std::uint32_t>(std::abs(channels)), bytes,
                                          channels < 0 ? nullptr : storage.back().data()});
        }
        rig.output->renderInto(buffers, layout.frames);

        for (std::size_t b = 0; b < buffers.size(); ++b) {
            const std::uint32_t c = std::max(buffers[b].channelCount, 1U);
            const std::size_t declared = buffers[b].data ? buffers[b].byteSize / sizeof(float) : 0;
            for (std::size_t k = 0; k < storage[b].size(); ++k) {
                ASSERT_NEAR(storage[b][k], k < declared ? expected[k / c] : untouched, 1e-6)
                    << "buffer " << b << " slot " << k;
            }
        }
        rig.block(64, 1);
    }
}

TEST(SynthEngine, AnUnusableDeviceRefusesToStartAndSaysWhy) {
    struct Case {
        AudioFormat format;
        const char* startFailure;
        const char* message;
    };
    for (const auto& c : {Case{{0.0, 2}, nullptr, outputUnavailableDescription},
                          Case{{-48000.0, 2}, nullptr, outputUnavailableDescription},
                          Case{{48000.0, 0}, nullptr, outputUnavailableDescription},
                          Case{{48000.0, 2}, "Connection refused", "Connection refused"}}) {
        auto device = std::make_unique<ManualAudioOutput>(c.format);
        if (c.startFailure) {
            device->failStarts(c.startFailure);
        }
        try {
            SynthEngine engine(std::move(device));
            ADD_FAILURE() << c.message << ": the engine started";
        } catch (const AudioStartError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(SynthEngine, AStoppedDeviceRestartsOnTheNextNoteAtItsNewRate) {
    SynthRig rig({48000.0, 2});
    rig.noteOn("a", 60, SoundMode::sine);
    rig.block(256);
    rig.output->simulateDeviceStop();
    rig.output->setDeviceFormat({44100.0, 2});
    // Let go while no stream played it: it must not come back with the next note.
    rig.engine->noteOff("a");
    rig.reference = reference::Renderer(44100.0);
    rig.noteOn("b", 69, SoundMode::sine);
    EXPECT_EQ(rig.output->startCount(), 2);
    rig.block(4410);
    rig.noteOff("b"); // the release coefficient follows the new rate too
    rig.block(20000);
}

// After two seconds of an empty table the renderer lets the output rest. Wherever that
// block falls around a noteOn (before it, or between its look at the output and its table
// update, where a note used to be lost), the note sounds in the very next block.
TEST(SynthEngine, ANoteIsNeverLostOrLateWhenTheOutputGoesIdle) {
    enum class IdleBlock { none, beforeNoteOn, insideNoteOn };
    for (const IdleBlock when :
         {IdleBlock::none, IdleBlock::beforeNoteOn, IdleBlock::insideNoteOn}) {
        SCOPED_TRACE(static_cast<int>(when));
        SynthRig rig;
        const auto quiet = static_cast<std::int64_t>(secondsBeforeIdle * 48000.0);
        rig.block(quiet - 256);
        EXPECT_FALSE(rig.output->isResting());
        const auto lastQuietBlock = [&] {
            rig.block(256);
            EXPECT_TRUE(rig.output->isResting());
        };
        if (when == IdleBlock::beforeNoteOn) {
            lastQuietBlock();
        } else if (when == IdleBlock::insideNoteOn) {
            rig.output->beforeNextRunningCheck(lastQuietBlock);
        }
        rig.noteOn("keyboard:0", 69, SoundMode::sine);
        EXPECT_FALSE(rig.output->isResting());
        const std::vector<float> first = rig.block(512);
        EXPECT_NE(first.back(), 0.0F);
    }
}

} // namespace
} // namespace tunescrib::testing
