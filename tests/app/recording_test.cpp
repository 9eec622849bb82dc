#include "app_fixture.h"

#include "model/midi_file.h"

namespace tunescrib::testing {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;

struct Recording : ::testing::Test, AppFixture {
    void SetUp() override { start(); }

    // Sends the event at `at` seconds from the start of the take.
    void at(double seconds, const KeyEvent& event) {
        clock.advance(takeStart + seconds - clock.now());
        m().handleKeyEvent(event);
    }
    void record() {
        m().toggleRecording();
        takeStart = clock.now();
    }
    double takeStart = 0;
};

struct Note {
    std::int64_t midi;
    double start, duration;
};

void expectNotes(const std::vector<RecordedNote>& actual, const std::vector<Note>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].midi, expected[i].midi) << i;
        EXPECT_NEAR(actual[i].start, expected[i].start, 1e-9) << i;
        EXPECT_NEAR(actual[i].duration, expected[i].duration, 1e-9) << i;
    }
}

TEST_F(Recording, NotesTakeTheirTimesFromTheClockAndAShortOneIsLengthened) {
    record();
    EXPECT_EQ(m().notice(), "録音中 — そのまま弾いてください");
    at(0.5, keyDown(0));
    notifications.clear();
    at(1.25, keyUp(0));
    EXPECT_THAT(notifications, Contains(Property::recordedNotes)); // the timeline follows
    at(2.0, keyDown(1));
    at(2.01, keyUp(1));
    m().toggleRecording();
    EXPECT_FALSE(m().isRecording());
    EXPECT_EQ(m().notice(), "録音を保存しました");
    expectNotes(m().recordedNotes(), {{60, 0.5, 0.75}, {62, 2.0, 0.07}});
    EXPECT_NE(m().recordedNotes()[0].id, m().recordedNotes()[1].id);
    EXPECT_NEAR(m().takeDuration(), 2.07, 1e-9);
}

TEST_F(Recording, TheTakeListsNotesAsTheyEndedAndSortsThemStablyByStart) {
    record();
    at(0.2, keyDown(0));
    at(0.4, keyDown(1));
    at(0.6, keyUp(1));
    at(1.0, keyDown(2)); // E by key and pointer: they start together and end in reverse order
    m().startSource(4, "pointer:4");
    m().stopSource("pointer:4");
    at(1.5, keyUp(2));
    at(1.8, keyUp(0));
    expectNotes(m().recordedNotes(),
                {{62, 0.4, 0.2}, {64, 1.0, 0.07}, {64, 1.0, 0.5}, {60, 0.2, 1.6}});
    expectNotes(m().sortedRecordedNotes(),
                {{60, 0.2, 1.6}, {62, 0.4, 0.2}, {64, 1.0, 0.07}, {64, 1.0, 0.5}});
    EXPECT_NEAR(m().takeDuration(), 1.8, 1e-9); // the latest end, not the last start's
}

TEST_F(Recording, KeysHeldAcrossTheStartOrTheStopAreCutThere) {
    m().handleKeyEvent(keyDown(0)); // held before the take starts: silenced, not recorded
    record();
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    at(1.0, keyDown(1));
    at(2.0, keyDown(1, 0, true)); // an auto-repeat of D
    m().toggleRecording();        // D still held
    expectNotes(m().recordedNotes(), {{62, 1.0, 1.0}});
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_FALSE(m().handleKeyEvent(keyUp(0)));
    EXPECT_FALSE(m().handleKeyEvent(keyUp(1)));
}

TEST_F(Recording, FocusLossEndsHeldNotesButNotTheTake) {
    record();
    at(0.3, keyDown(0));
    clock.advance(0.2);
    m().applicationDidResignActive();
    EXPECT_TRUE(m().isRecording());
    expectNotes(m().recordedNotes(), {{60, 0.3, 0.2}});
}

TEST_F(Recording, ANewTakeReplacesTheOldAtOnceAndClearingEndsARecording) {
    notifications.clear();
    m().stopRecording(); // not recording: nothing
    EXPECT_THAT(notifications, IsEmpty());
    record();
    at(0.1, keyDown(0));
    at(0.2, keyUp(0));
    m().toggleRecording();
    record();
    EXPECT_THAT(m().recordedNotes(), IsEmpty());
    at(0.1, keyDown(0));
    m().clearRecording();
    EXPECT_FALSE(m().isRecording());
    EXPECT_THAT(m().recordedNotes(), IsEmpty());
    // The held note entered the take before it was cleared, so undo can bring it back.
    EXPECT_EQ(m().notice(), "メロディを消去しました — Ctrl+Z で元に戻せます");
    EXPECT_THAT(heldVoices(), IsEmpty());
}

TEST_F(Recording, AClearedTakeComesBackByUndoUntilANewRecordingStarts) {
    record();
    at(0.1, keyDown(0));
    at(0.2, keyUp(0));
    m().toggleRecording();
    const auto take = m().recordedNotes();
    m().playRecording();
    m().clearRecording();
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    EXPECT_EQ(m().notice(), "メロディを消去しました — Ctrl+Z で元に戻せます");
    m().undoClear();
    EXPECT_EQ(m().recordedNotes(), take); // the same notes, ids and all
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(m().notice(), "消去したメロディを戻しました");
    notifications.clear();
    m().undoClear(); // one level only
    EXPECT_THAT(notifications, IsEmpty());

    m().clearRecording();
    record(); // a new take: what was cleared is gone for good
    m().clearRecording();
    EXPECT_EQ(m().notice(), "メロディを消去しました");
    m().undoClear();
    EXPECT_THAT(m().recordedNotes(), IsEmpty());
}

TEST_F(Recording, AnExportWritesTheTakeOrSaysWhyNot) {
    std::vector<std::string> written;
    std::error_code failure;
    const FileWriter writer = [&](const std::string& path, std::span<const std::uint8_t> bytes) {
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), m().takeAsMidiFile());
        written.push_back(path);
        return failure;
    };
    const std::string path = "/home/u/Music/take.mid";
    EXPECT_FALSE(m().exportTake(path, writer)); // no take yet
    record();
    at(0.1, keyDown(0));
    at(0.2, keyUp(0));
    EXPECT_FALSE(m().exportTake(path, writer)); // still recording
    EXPECT_EQ(m().notice(), "まだ音が録音されていません");
    EXPECT_THAT(written, IsEmpty());
    m().toggleRecording();

    const struct {
        std::errc error;
        const char* notice;
    } rows[] = {
        {std::errc{}, "take.mid を書き出しました"},
        {std::errc::permission_denied,
         "take.mid を書き出せませんでした（このフォルダには書き込めません）"},
        {std::errc::read_only_file_system,
         "take.mid を書き出せませんでした（このフォルダには書き込めません）"},
        {std::errc::no_space_on_device,
         "take.mid を書き出せませんでした（ディスクの空きが足りません）"},
        {std::errc::no_such_file_or_directory,
         "take.mid を書き出せませんでした（フォルダが見つかりません）"},
        {std::errc::is_a_directory,
         "take.mid を書き出せませんでした（同じ名前のフォルダがあります）"},
        {std::errc::io_error, "take.mid を書き出せませんでした（Input/output error）"},
    };
    for (const auto& row : rows) {
        failure = std::make_error_code(row.error);
        EXPECT_EQ(m().exportTake(path, writer), row.error == std::errc{}) << row.notice;
        EXPECT_EQ(m().notice(), row.notice);
    }
    EXPECT_EQ(written.size(), std::size(rows));
    m().setSoundMode(SoundMode::sine); // the file follows the timbre of playback
    EXPECT_NE(m().takeAsMidiFile(), standardMidiFile(m().recordedNotes(), SoundMode::piano));
}

} // namespace
} // namespace tunescrib::testing
