#include "app_fixture.h"

#include <algorithm>

namespace tunescrib::testing {
namespace {

using ::testing::SizeIs;

// The take of the first rows is C4 from 0.5 s to 1.5 s; playback starts at once.
TEST(Playback, PlaysEachNoteAtItsTimesAndFollowsTheSettingsOfTheTake) {
    const std::string take = "rec +0.5 d0 +1 u0 rec play ";
    const std::string twoNotes = "rec d0 +1 u0 d1 +1 u1 rec play ";
    AppFixture::expectAfter({
        {take + "+0.499", "held= play=1 steps=3", "再生中"},
        {take + "+0.5", "held=60p lit=60", "再生中"}, // playback notes are not announced
        {take + "+1.499", "held=60p"},
        {take + "+1.5", "held= fading=2 lit= play=1"}, // fades, not cut (and the recorded key)
        {take + "+1.639", "play=1"},                   // room for the release
        {take + "+1.641", "play=0 steps=0", "再生完了"},
        // Each recorded note is a source of its own, even two overlapping of one pitch.
        {"rec p0 +0.2 d0 +0.3 x0 +0.3 u0 rec play +0.3", "held=60p,60p lit=60"},
        {"rec p0 +0.2 d0 +0.3 x0 +0.3 u0 rec play +0.55", "held=60p lit=60"},
        // Playing again restarts from the first note, and the readout follows playback.
        {twoNotes + "+1.5", "held=62p last=62"},
        {twoNotes + "+1.5 play", "held= steps=5"},
        {twoNotes + "+1.5 play +0", "held=60p last=60"},
        {twoNotes + "+1.5 stop", "held= steps=0 play=0"},
        {"play", "play=0", "まだ音が録音されていません"},
        {"rec d0 u0 play", "play=0 rec=1", "まだ音が録音されていません"},
        {"rec d0 +0.1 u0 rec play rec", "play=0 steps=0 rec=1 take="},
        {"rec d0 +0.1 u0 rec play clear", "play=0 steps=0 held="},
        // The recorded pitch, whatever the octave, and the current transposition.
        {"rec d0 +0.5 u0 rec oct:1 play +0", "held=60p lit=60"},
        {"rec d0 +0.5 u0 rec oct:1 play +1 tr:2 play +0", "held=62p lit=62"},
        // Focus loss releases the playback note without cancelling its note-off, which must
        // then leave a key of the same note alone; stopping cuts the released note's tail.
        {"rec d0 +1 u0 rec play +0.1 blur d0 +1", "held=60p lit=60 play=1"},
        {"rec d0 +1 u0 rec play +0.1 blur d0 +1 play +0.1 blur stop", "fading=1"},
    });
}

// A long take is handed to the scheduler a few steps at a time, yet every note starts at
// its own time, sounds for its length, and the end comes after the last.
TEST(Playback, ALongTakeKeepsFewStepsWaitingAndPlaysEveryNoteOnTime) {
    AppFixture f;
    f.start();
    constexpr int notes = 200;
    constexpr double spacing = 0.1, length = 0.35; // five keys in turn, each note overlapping
    std::string take = "rec";
    for (int i = 0; i < notes + 4; ++i) { // a press each 0.1 s, a release 0.05 s before
        take += i == 0 ? "" : " +0.05" + (i >= 4 ? " u" + std::to_string((i - 4) % 5) : "");
        take += (i == 0 ? "" : " +0.05") + (i < notes ? " d" + std::to_string(i % 5) : "");
    }
    f.run(take + " rec");
    ASSERT_THAT(f.m().recordedNotes(), SizeIs(notes));
    std::vector<double> noteOns;
    const double origin = f.clock.now();
    const Subscription watch = f.m().subscribe([&](Property property) {
        if (property == Property::lastMidi) {
            noteOns.push_back(f.clock.now() - origin);
        }
    });
    f.m().playRecording();
    // Sampled between the steps: they fall on multiples of 0.05 s.
    for (double at = 0.025; at < notes * spacing + length; at += 0.05) {
        f.scheduler.advance(origin + at - f.clock.now());
        ASSERT_LE(f.scheduler.pendingCount(), playbackStepsAhead);
        const auto sounding = std::ranges::count_if(f.m().recordedNotes(), [at](const auto& n) {
            return n.start <= at && at < n.start + n.duration;
        });
        ASSERT_THAT(f.heldVoices(), SizeIs(sounding)) << "at " << at << " s";
    }
    ASSERT_THAT(noteOns, SizeIs(notes));
    for (int i = 0; i < notes; ++i) {
        ASSERT_NEAR(noteOns[i], i * spacing, 1e-9) << "note " << i;
    }
    ASSERT_EQ(f.scheduler.pendingCount(), 1U); // the end, after the last release
    f.model.reset();
    EXPECT_EQ(f.scheduler.pendingCount(), 0U) << "a step outlived the model";
}

} // namespace
} // namespace tunescrib::testing
