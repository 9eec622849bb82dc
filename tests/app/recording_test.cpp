#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

struct Recording : ::testing::Test, AppFixture {
    void SetUp() override { start(); }

    void press(std::uint16_t code, double at) {
        clock.advance(at - elapsed());
        m().handleKeyEvent(keyDown(code));
    }
    void release(std::uint16_t code, double at) {
        clock.advance(at - elapsed());
        m().handleKeyEvent(keyUp(code));
    }
    double elapsed() const { return clock.now() - recordingStartedAt; }
    void record() {
        m().toggleRecording();
        recordingStartedAt = clock.now();
    }

    double recordingStartedAt = 0;
};

struct Note {
    std::int64_t midi;
    double start;
    double duration;
};

void expectNotes(const std::vector<RecordedNote>& actual, const std::vector<Note>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].midi, expected[i].midi) << i;
        EXPECT_NEAR(actual[i].start, expected[i].start, 1e-9) << i;
        EXPECT_NEAR(actual[i].duration, expected[i].duration, 1e-9) << i;
    }
}

TEST_F(Recording, NotesTakeTheirStartAndLengthFromTheClock) {
    record();
    EXPECT_TRUE(m().isRecording());
    EXPECT_EQ(m().notice(), "録音中 — そのまま弾いてください");
    press(0, 0.5);
    release(0, 1.25);
    press(1, 2.0);
    release(1, 2.01); // shorter than the shortest note
    m().toggleRecording();
    EXPECT_FALSE(m().isRecording());
    EXPECT_EQ(m().notice(), "録音を保存しました");
    expectNotes(m().recordedNotes(), {{60, 0.5, 0.75}, {62, 2.0, 0.07}});
    EXPECT_NE(m().recordedNotes()[0].id, m().recordedNotes()[1].id);
    EXPECT_NEAR(m().takeDuration(), 2.07, 1e-9);
}

TEST_F(Recording, TheTakeListsNotesAsTheyEndedAndSortsThemStablyByStart) {
    record();
    press(0, 0.2);
    press(1, 0.4);
    release(1, 0.6);
    release(0, 0.8);
    press(2, 1.0); // D and E start together and end in reverse order
    m().startSource(4, "pointer:4");
    m().stopSource("pointer:4");
    release(2, 1.5);
    expectNotes(m().recordedNotes(),
                {{62, 0.4, 0.2}, {60, 0.2, 0.6}, {64, 1.0, 0.07}, {64, 1.0, 0.5}});
    expectNotes(m().sortedRecordedNotes(),
                {{60, 0.2, 0.6}, {62, 0.4, 0.2}, {64, 1.0, 0.07}, {64, 1.0, 0.5}});
    EXPECT_NEAR(m().takeDuration(), 1.5, 1e-9);
}

TEST_F(Recording, KeysHeldAcrossTheStartOrTheStopAreCutThere) {
    m().handleKeyEvent(keyDown(0)); // held before the take starts: silenced, not recorded
    record();
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    press(1, 1.0);
    clock.advance(1.0);
    m().toggleRecording(); // D still held
    expectNotes(m().recordedNotes(), {{62, 1.0, 1.0}});
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_FALSE(m().handleKeyEvent(keyUp(0)));
    EXPECT_FALSE(m().handleKeyEvent(keyUp(1)));
    EXPECT_EQ(m().recordedNotes().size(), 1U);
}

TEST_F(Recording, ANewTakeReplacesTheOldAtOnceAndClearingEndsARecording) {
    record();
    press(0, 0.1);
    release(0, 0.2);
    m().toggleRecording();
    record();
    EXPECT_THAT(m().recordedNotes(), IsEmpty());
    press(0, 0.1);
    m().clearRecording();
    EXPECT_FALSE(m().isRecording());
    EXPECT_THAT(m().recordedNotes(), IsEmpty());
    EXPECT_EQ(m().notice(), "メロディを消去しました");
    EXPECT_THAT(heldVoices(), IsEmpty());
}

TEST_F(Recording, StoppingWhenNotRecordingDoesNothing) {
    notifications.clear();
    m().stopRecording();
    EXPECT_THAT(notifications, IsEmpty());
    EXPECT_EQ(m().takeDuration(), 0.0);
}

TEST_F(Recording, FocusLossDuringATakeEndsHeldNotesButNotTheTake) {
    record();
    press(0, 0.3);
    clock.advance(0.2);
    m().applicationDidResignActive();
    EXPECT_TRUE(m().isRecording());
    expectNotes(m().recordedNotes(), {{60, 0.3, 0.2}});
}

} // namespace
} // namespace tunescrib::testing
