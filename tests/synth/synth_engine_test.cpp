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
