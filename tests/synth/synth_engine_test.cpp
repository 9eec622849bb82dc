// The engine's control side: starting and restarting the output, the sample rate it
// renders at, and how noteOn, noteOff and allNotesOff edit the voice table.

#include "synth_rig.h"

namespace tunescrib::testing {
namespace {

struct BadFormatCase {
    const char* name;
    AudioFormat format;
    friend void PrintTo(const BadFormatCase& c, std::ostream* os) { *os << c.name; }
};

class UnusableDevice : public ::testing::TestWithParam<BadFormatCase> {};

TEST_P(UnusableDevice, RefusesToStartWithTheFixedMessage) {
    auto device = std::make_unique<ManualAudioOutput>(GetParam().format);
    ManualAudioOutput* output = device.get();
    try {
        SynthEngine engine(std::move(device));
        FAIL() << "the engine started";
    } catch (const AudioStartError& error) {
        EXPECT_STREQ(error.what(), outputUnavailableDescription);
    }
    (void)output; // freed with the failed engine; nothing was started on it
}

INSTANTIATE_TEST_SUITE_P(Formats, UnusableDevice,
                         ::testing::Values(BadFormatCase{"no_rate", {0.0, 2}},
                                           BadFormatCase{"negative_rate", {-48000.0, 2}},
                                           BadFormatCase{"no_channels", {48000.0, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SynthEngine, AStartFailureReachesTheCallerUnchanged) {
    auto device = std::make_unique<ManualAudioOutput>();
    device->failStarts("Connection refused");
    EXPECT_THROW(
        {
            try {
                SynthEngine engine(std::move(device));
            } catch (const AudioStartError& error) {
                EXPECT_STREQ(error.what(), "Connection refused");
                throw;
            }
        },
        AudioStartError);
}

TEST(SynthEngine, AStoppedDeviceRestartsOnTheNextNoteAtItsNewRate) {
    SynthRig rig({48000.0, 2});
    rig.noteOn("a", 60, SoundMode::sine);
    rig.block(256);
    rig.output->simulateDeviceStop();
    EXPECT_TRUE(rig.output->render(256, 2) == std::vector<float>(512, 0.0f));

    rig.output->setDeviceFormat({44100.0, 2});
    rig.reference = reference::Renderer(44100.0);
    rig.engine->allNotesOff(true);
    rig.noteOn("b", 69, SoundMode::sine);
    EXPECT_EQ(rig.output->startCount(), 2);
    rig.block(4410);
    rig.noteOff("b"); // the release coefficient follows the new rate too
    rig.block(20000);
}

TEST(SynthEngine, AFailedRestartAddsNoVoiceButReleasesStillWork) {
    SynthRig rig;
    rig.noteOn("held", 64, SoundMode::piano);
    rig.output->failStarts("Pulse: server gone");
    rig.output->simulateDeviceStop();
    EXPECT_THROW(rig.engine->noteOn("new", 67, SoundMode::piano), AudioStartError);
    ASSERT_EQ(rig.engine->voices().size(), 1U);
    rig.engine->noteOff("held");
    EXPECT_TRUE(rig.engine->voices()[0].isReleasing);
    rig.engine->allNotesOff(true);
    EXPECT_TRUE(rig.engine->voices().empty());

    rig.output->clearStartFailure();
    rig.engine->noteOn("new", 67, SoundMode::piano);
    EXPECT_EQ(rig.engine->voices().size(), 1U);
}

TEST(SynthEngine, NoteOnForASoundingSourceRestartsItFromSilence) {
    SynthRig rig;
    rig.noteOn("k", 60, SoundMode::piano);
    rig.block(1000);
    rig.noteOff("k");
    rig.block(100);
    rig.noteOn("k", 62, SoundMode::sine);
    const std::vector<float> samples = rig.block(256);
    EXPECT_EQ(samples[0], 0.0f);
    const auto voices = rig.engine->voices();
    ASSERT_EQ(voices.size(), 1U);
    EXPECT_EQ(voices[0].midi, 62);
    EXPECT_FALSE(voices[0].isReleasing);
}

TEST(SynthEngine, ReleasesEditOnlyTheVoicesThatExist) {
    SynthRig rig;
    rig.engine->noteOff("nobody");
    rig.engine->allNotesOff();
    rig.engine->allNotesOff(true);
    EXPECT_TRUE(rig.engine->voices().empty());

    rig.noteOn("a", 60, SoundMode::piano);
    rig.noteOff("a");
    rig.noteOff("a"); // a second release only sets the coefficient again
    EXPECT_EQ(rig.engine->voices().size(), 1U);
    rig.block(2000);
}

// After allNotesOff, a noteOff gives the voice the slower single-note release again.
TEST(SynthEngine, NoteOffAfterAllNotesOffRestoresTheSingleNoteRelease) {
    SynthRig rig;
    rig.noteOn("p", 60, SoundMode::piano);
    rig.noteOn("s", 72, SoundMode::sine);
    rig.block(480);
    rig.allNotesOff();
    rig.block(480);
    rig.noteOff("p");
    const double seconds = rig.renderUntilSilent(256, 3.0);
    // The piano voice, 0.01 s into a 0.12 s release, then on the 0.16 s one.
    EXPECT_GT(seconds, 1.1);
}

TEST(SynthEngine, ManyVoicesAtOnceHaveNoLimit) {
    SynthRig rig;
    for (int i = 0; i < 150; ++i) {
        rig.noteOn("playback:" + std::to_string(i) + "-0000-0000-0000-000000000000", 40 + i % 50,
                   i % 2 ? SoundMode::piano : SoundMode::sine);
    }
    EXPECT_EQ(rig.engine->voices().size(), 150U);
    rig.block(256, 2, 2e-6);
    rig.allNotesOff();
    rig.renderUntilSilent(512, 2.0);
    EXPECT_TRUE(rig.engine->voices().empty());
}

} // namespace
} // namespace tunescrib::testing
