// The engine's control side: starting and restarting the output, the sample rate it
// renders at, and how noteOn edits the voice table. A failing restart is covered by the
// app's audio failure tests.

#include "synth_rig.h"

namespace tunescrib::testing {
namespace {

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
    rig.reference = reference::Renderer(44100.0);
    rig.engine->allNotesOff(true);
    rig.noteOn("b", 69, SoundMode::sine);
    EXPECT_EQ(rig.output->startCount(), 2);
    rig.block(4410);
    rig.noteOff("b"); // the release coefficient follows the new rate too
    rig.block(20000);
}

// The reference starts the new note from silence; the rendered blocks must agree.
TEST(SynthEngine, NoteOnForASoundingSourceRestartsItFromSilence) {
    SynthRig rig;
    rig.noteOn("k", 60, SoundMode::piano);
    rig.block(1000);
    rig.noteOff("k");
    rig.block(100);
    rig.noteOn("k", 62, SoundMode::sine);
    rig.block(256);
    EXPECT_EQ(rig.engine->voices().size(), 1U);
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
