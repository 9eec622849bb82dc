#include "app_fixture.h"

#include <algorithm>

namespace tunescrib::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

struct Playback : ::testing::Test, AppFixture {
    void SetUp() override { start(); }

    // Records key events, each at its time in seconds from the start of the take.
    void recordTake(const std::vector<std::pair<double, KeyEvent>>& events) {
        m().toggleRecording();
        const double origin = clock.now();
        for (const auto& [at, event] : events) {
            clock.advance(origin + at - clock.now());
            m().handleKeyEvent(event);
        }
        m().toggleRecording();
    }
    std::string sourceOf(std::size_t sortedIndex) const {
        return "playback:" + model->sortedRecordedNotes()[sortedIndex].id.toString();
    }
};

TEST_F(Playback, NotesStartAndStopAtTheirOffsetsAndTheEndComesAfterTheRelease) {
    recordTake({{0.5, keyDown(0)}, {1.5, keyUp(0)}});
    m().playRecording();
    EXPECT_TRUE(m().isPlaying());
    EXPECT_EQ(m().notice(), "再生中");
    scheduler.advance(0.499);
    EXPECT_THAT(heldVoices(), IsEmpty());
    scheduler.advance(0.001);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(0)));
    EXPECT_TRUE(m().isActive(0));
    EXPECT_EQ(m().notice(), "再生中"); // playback notes are not announced
    scheduler.advance(0.999);
    EXPECT_THAT(heldVoices(), SizeIs(1));
    scheduler.advance(0.001);
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_TRUE(voice(sourceOf(0)).value_or(VoiceSnapshot{}).isReleasing); // fades, not cut
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    scheduler.advance(0.139);
    EXPECT_TRUE(m().isPlaying());
    scheduler.advance(0.001);
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(m().notice(), "再生完了");
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

// Each recorded note is a source of its own, so two overlapping notes of one pitch sound
// as two voices and the key stays lit until both have ended.
TEST_F(Playback, OverlappingNotesOfOnePitchAreTwoVoices) {
    m().toggleRecording();
    m().startSource(0, "pointer:0");
    clock.advance(0.2);
    m().handleKeyEvent(keyDown(0));
    clock.advance(0.3);
    m().stopSource("pointer:0");
    clock.advance(0.3);
    m().handleKeyEvent(keyUp(0));
    m().toggleRecording();

    m().playRecording();
    scheduler.advance(0.3);
    EXPECT_THAT(heldVoices(), SizeIs(2));
    scheduler.advance(0.25);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(1)));
    EXPECT_TRUE(m().isActive(0));
}

TEST_F(Playback, PlayingAgainRestartsFromTheFirstNoteAndStoppingCancelsEverything) {
    recordTake({{0.0, keyDown(0)}, {1.0, keyUp(0)}, {1.0, keyDown(1)}, {2.0, keyUp(1)}});
    m().playRecording();
    scheduler.advance(1.5);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(1)));
    m().playRecording();
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(scheduler.pendingCount(), 5U); // only the new playback's steps
    scheduler.advance(0.0);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(0)));
    EXPECT_EQ(m().lastMidi(), 60); // the readout follows the playback, from 62
    m().stopPlayback();
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    EXPECT_FALSE(m().isPlaying());
}

TEST_F(Playback, IsRefusedWithoutATakeOrWhileRecording) {
    m().playRecording();
    EXPECT_EQ(m().notice(), "まだ音が録音されていません");
    EXPECT_FALSE(m().isPlaying());
    recordTake({{0.1, keyDown(0)}, {0.2, keyUp(0)}});
    m().playRecording();
    m().toggleRecording(); // stops the playback, empties the take
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    m().handleKeyEvent(keyDown(0));
    m().handleKeyEvent(keyUp(0));
    m().playRecording(); // a take being recorded is not played yet
    EXPECT_EQ(m().notice(), "まだ音が録音されていません");
    EXPECT_FALSE(m().isPlaying());
}

TEST_F(Playback, SoundsTheRecordedPitchAfterAnOctaveChangeAndFollowsTransposition) {
    recordTake({{0.0, keyDown(0)}, {0.5, keyUp(0)}});
    m().changeOctave(+1);
    m().playRecording();
    scheduler.advance(0.0);
    EXPECT_EQ(voice(sourceOf(0))->midi, 60);
    EXPECT_FALSE(m().isActive(0)); // C4 is below the keyboard now
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    scheduler.advance(1.0);
    m().changeTransposition(2);
    m().playRecording();
    scheduler.advance(0.0);
    EXPECT_EQ(voice(sourceOf(0))->midi, 62);
}

// Focus loss releases the playback note but cancels none of its steps: its own note-off
// must neither release the key's note nor take its count, and stopping cuts its fading tail.
TEST_F(Playback, ANoteReleasedByFocusLossLeavesAKeyOfTheSameNoteAlone) {
    recordTake({{0.0, keyDown(0)}, {1.0, keyUp(0)}});
    m().playRecording();
    scheduler.advance(0.1);
    m().applicationDidResignActive();
    EXPECT_TRUE(m().isPlaying());
    m().handleKeyEvent(keyDown(0));
    scheduler.advance(1.0);
    EXPECT_TRUE(m().isActive(0));
    EXPECT_THAT(heldVoices(), ElementsAre("keyboard:0"));
    m().playRecording();
    scheduler.advance(0.1);
    m().applicationDidResignActive();
    ASSERT_TRUE(voice(sourceOf(0)));
    m().stopPlayback();
    EXPECT_FALSE(voice(sourceOf(0)));
}

// A long take is handed to the scheduler a few steps at a time, yet every note starts at
// its own time, sounds for its length, and the end comes after the last.
TEST_F(Playback, ALongTakeKeepsFewStepsWaitingAndPlaysEveryNoteOnTime) {
    constexpr int notes = 200;
    constexpr double spacing = 0.1, length = 0.35; // five keys in turn, each note overlapping
    std::vector<std::pair<double, KeyEvent>> events;
    for (int i = 0; i < notes + 4; ++i) {
        if (i >= 4) {
            events.emplace_back((i - 4) * spacing + length, keyUp((i - 4) % 5));
        }
        if (i < notes) {
            events.emplace_back(i * spacing, keyDown(i % 5));
        }
    }
    recordTake(events);
    ASSERT_THAT(m().recordedNotes(), SizeIs(notes));
    std::vector<double> noteOns;
    const double origin = clock.now();
    const Subscription watch = m().subscribe([&](Property property) {
        if (property == Property::lastMidi) {
            noteOns.push_back(clock.now() - origin);
        }
    });
    m().playRecording();
    // Sampled between the steps: they fall on multiples of 0.05 s.
    for (double at = 0.025; at < notes * spacing + length; at += 0.05) {
        scheduler.advance(origin + at - clock.now());
        ASSERT_LE(scheduler.pendingCount(), playbackStepsAhead);
        const auto sounding = static_cast<std::size_t>(std::count_if(
            m().recordedNotes().begin(), m().recordedNotes().end(),
            [at](const RecordedNote& n) { return n.start <= at && at < n.start + n.duration; }));
        ASSERT_THAT(heldVoices(), SizeIs(sounding)) << "at " << at << " s";
    }
    ASSERT_THAT(noteOns, SizeIs(notes));
    for (int i = 0; i < notes; ++i) {
        EXPECT_NEAR(noteOns[i], i * spacing, 1e-9) << "note " << i;
    }
    scheduler.advance(origin + m().takeDuration() + 0.14 - clock.now());
    EXPECT_EQ(m().notice(), "再生完了");
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

TEST_F(Playback, ReleasingTheModelCancelsEveryStep) {
    recordTake({{0.0, keyDown(0)}, {1.0, keyUp(0)}});
    m().playRecording();
    model.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

} // namespace
} // namespace tunescrib::testing
