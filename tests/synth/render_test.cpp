// The render routine against the reference: timbres, envelopes, retirement, mixing and
// every buffer layout the output may hand it.

#include "synth_rig.h"

#include "synth/synth_render_state.h"

#include <array>
#include <limits>
#include <numbers>

namespace tunescrib::testing {
namespace {

struct NoteCase {
    const char* name;
    SoundMode mode;
    std::int64_t midi;
    std::int64_t blockFrames;
    friend void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }
};

class OneVoice : public ::testing::TestWithParam<NoteCase> {};

// A held note, then its release, sample by sample, in block sizes that do and do not
// divide the renderer's own chunking.
TEST_P(OneVoice, MatchesTheReferenceFromAttackThroughRelease) {
    const NoteCase note = GetParam();
    SynthRig rig;
    rig.noteOn("n", note.midi, note.mode);
    const std::vector<float> first = rig.block(note.blockFrames);
    EXPECT_EQ(first[0], 0.0f) << "age 0 means attack 0";
    for (int i = 0; i < 24000 / note.blockFrames; ++i) {
        rig.block(note.blockFrames);
    }
    rig.noteOff("n");
    rig.renderUntilSilent(note.blockFrames, 2.0);
    EXPECT_TRUE(rig.engine->voices().empty());
    EXPECT_EQ(rig.reference.voiceCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Timbres, OneVoice,
                         ::testing::Values(NoteCase{"piano_c4", SoundMode::piano, 60, 256},
                                           NoteCase{"sine_a4", SoundMode::sine, 69, 256},
                                           NoteCase{"piano_lowest", SoundMode::piano, 24, 100},
                                           NoteCase{"sine_highest", SoundMode::sine, 115, 1000},
                                           NoteCase{"piano_highest", SoundMode::piano, 115, 37}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Render, SeveralVoicesSumBeforeTheClip) {
    SynthRig rig;
    rig.noteOn("a", 60, SoundMode::piano);
    rig.noteOn("b", 64, SoundMode::sine);
    rig.noteOn("c", 67, SoundMode::piano);
    rig.noteOn("twin", 60, SoundMode::piano); // same note twice adds linearly
    for (int i = 0; i < 40; ++i) {
        rig.block(256);
    }
    rig.noteOff("b");
    rig.noteOn("d", 72, SoundMode::sine);
    for (int i = 0; i < 40; ++i) {
        const std::vector<float> samples = rig.block(256);
        for (const float s : samples) {
            ASSERT_LT(std::abs(s), mainOutputVolume) << "the clip keeps every sample below 1";
        }
    }
}

// A voice is retired ln(2000) release times after its release, at the end of that block.
struct ReleaseCase {
    const char* name;
    SoundMode mode;
    bool allNotes;
    double seconds;
    friend void PrintTo(const ReleaseCase& c, std::ostream* os) { *os << c.name; }
};

class Retirement : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(Retirement, ComesAtTheEndOfTheBlockWhereTheGainFallsBelowTheFloor) {
    const ReleaseCase release = GetParam();
    SynthRig rig;
    rig.noteOn("n", 69, release.mode);
    rig.block(4800, 1);
    release.allNotes ? rig.allNotesOff() : rig.noteOff("n");
    const double blockSeconds = 256 / 48000.0;
    const double silentAfter = rig.renderUntilSilent(256, 5.0);
    EXPECT_GE(silentAfter, release.seconds - blockSeconds);
    EXPECT_LE(silentAfter, release.seconds + blockSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    Releases, Retirement,
    ::testing::Values(ReleaseCase{"piano_note_off", SoundMode::piano, false, 1.216},
                      ReleaseCase{"sine_note_off", SoundMode::sine, false, 0.532},
                      ReleaseCase{"piano_all_notes_off", SoundMode::piano, true, 0.912},
                      ReleaseCase{"sine_all_notes_off", SoundMode::sine, true, 0.380}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Render, AHeldNoteStopsAbruptlyOnceOlderThanEighteenSeconds) {
    SynthRig rig;
    rig.noteOn("held", 69, SoundMode::sine);
    const std::int64_t block = 4800; // 0.1 s
    std::vector<float> last;
    int blocks = 0;
    while (!rig.engine->voices().empty() && blocks < 200) {
        last = rig.output->render(block, 1);
        ++blocks;
    }
    // Age grows by repeated addition, so the block ending at 18.0 s may already pass it.
    EXPECT_GE(blocks, 180);
    EXPECT_LE(blocks, 181);
    // The last period of its last block still at full level.
    const float lastPeak = std::abs(*std::max_element(
        last.end() - 110, last.end(), [](float a, float b) { return std::abs(a) < std::abs(b); }));
    EXPECT_NEAR(lastPeak, mainOutputVolume * std::tanh(0.9f * 0.15f), 1e-3);
    const std::vector<float> after = rig.output->render(block, 1);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](float s) { return s == 0.0f; }));
}

TEST(Render, ImmediateCutIsSilentFromTheNextBlock) {
    SynthRig rig;
    rig.noteOn("n", 60, SoundMode::piano);
    rig.block(256);
    rig.engine->noteOff("n", true);
    rig.reference.cut("n");
    const std::vector<float> samples = rig.block(256);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](float s) { return s == 0.0f; }));
}

TEST(Render, ThePhaseStaysInItsRangeForAnyIncrement) {
    SynthRenderState state;
    for (const std::int64_t midi : {0, 24, 69, 115, 135}) {
        std::string id = "m" + std::to_string(midi);
        state.voices.put(id, SynthVoice{.midi = midi, .mode = SoundMode::sine});
    }
    state.sampleRate = 8000.0; // MIDI 135 lies above the Nyquist frequency here
    for (int i = 0; i < 50; ++i) {
        renderBlock(state, {}, 173, 1.0f);
        for (const VoiceSlot& slot : state.voices.slots()) {
            if (slot.active) {
                ASSERT_GE(slot.voice.phase, 0.0);
                ASSERT_LT(slot.voice.phase, 2 * std::numbers::pi);
            }
        }
    }
}

// Buffer layouts: each buffer carries max(channels, 1) interleaved channels, absent data
// areas are skipped, and nothing is written past the bytes a buffer declares.
struct LayoutCase {
    const char* name;
    std::vector<std::uint32_t> channels; // per buffer; 0 declares no channels
    std::vector<bool> hasData;
    std::int64_t frames;
    std::uint32_t shortBy = 0; // bytes the first buffer declares below what it needs
    friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, EveryChannelOfEveryBufferCarriesTheSameSample) {
    const LayoutCase layout = GetParam();
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
        auto bytes = static_cast<std::uint32_t>(layout.frames * c * sizeof(float));
        if (b == 0) {
            bytes -= layout.shortBy;
        }
        buffers.push_back(AudioBuffer{layout.channels[b], bytes,
                                      layout.hasData[b] ? storage.back().data() : nullptr});
    }
    rig.output->renderInto(buffers, layout.frames);

    for (std::size_t b = 0; b < buffers.size(); ++b) {
        const std::uint32_t c = std::max(layout.channels[b], 1U);
        const std::size_t declared = layout.hasData[b] ? buffers[b].byteSize / sizeof(float) : 0;
        for (std::size_t k = 0; k < storage[b].size(); ++k) {
            if (k < declared) {
                ASSERT_NEAR(storage[b][k], expected[k / c], 1e-6)
                    << "buffer " << b << " slot " << k;
            } else {
                ASSERT_EQ(storage[b][k], untouched) << "buffer " << b << " slot " << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, Layout,
    ::testing::Values(LayoutCase{"mono", {1}, {true}, 256},
                      LayoutCase{"interleaved_stereo", {2}, {true}, 256},
                      LayoutCase{"two_mono_buffers", {1, 1}, {true, true}, 256},
                      LayoutCase{"six_channels", {6}, {true}, 300},
                      LayoutCase{"zero_channels_as_one", {0}, {true}, 128},
                      LayoutCase{"an_absent_data_area", {1, 1, 2}, {true, false, true}, 256},
                      LayoutCase{"zero_frames", {2}, {true}, 0},
                      LayoutCase{"fewer_bytes_than_frames", {2}, {true}, 256, 40},
                      LayoutCase{"part_of_a_frame", {2}, {true}, 256, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Render, AFramelessCallChangesNoVoice) {
    SynthRig rig;
    rig.noteOn("n", 69, SoundMode::sine);
    rig.noteOn("m", 60, SoundMode::piano);
    rig.block(300);
    rig.noteOff("m");
    for (int i = 0; i < 5; ++i) {
        rig.block(0); // the reference does not move either: the next blocks still match
        rig.block(128);
    }
    EXPECT_EQ(rig.engine->voices().size(), 2U);
}

TEST(Render, NoBuffersAtAllStillAdvancesAndRetiresVoices) {
    SynthRig rig;
    rig.noteOn("n", 69, SoundMode::sine);
    rig.noteOff("n");
    for (int i = 0; i < 120 && !rig.engine->voices().empty(); ++i) {
        rig.output->renderInto({}, 256);
    }
    EXPECT_TRUE(rig.engine->voices().empty());
}

} // namespace
} // namespace tunescrib::testing
