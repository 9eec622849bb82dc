#include "app_fixture.h"

#include "model/midi_file.h"

namespace tunescrib::testing {
namespace {

// Notes are listed as they ended, with their times from the start of the take.
TEST(Recording, NotesTakeTheirTimesFromTheClockAndTheTakeCanBeClearedAndRestored) {
    const std::string saved = "rec +0.1 d0 +0.1 u0 rec ";
    const char* undoable = "メロディを消去しました — Ctrl+Z で元に戻せます";
    AppFixture::expectAfter({
        {"rec", "rec=1", "録音中 — そのまま弾いてください"},
        {"stoprec", "rec=0", "入力待ち"},
        // A note shorter than 0.07 s is lengthened; the take lasts to the latest end.
        {"rec +0.5 d0 +0.75 u0 +0.75 d1 +0.01 u1 rec", "rec=0 take=60@0.5+0.75,62@2+0.07 len=2.07",
         "録音を保存しました"},
        {"rec +0.2 d0 +0.2 d1 +0.2 u1 +0.4 d2 p4 x4 +0.5 u2 +0.3 u0",
         "take=62@0.4+0.2,64@1+0.07,64@1+0.5,60@0.2+1.6 len=1.8"},
        {"rec +0.5 d1 +0.5 d0 +0.01 u0 +0.01 u1", "take=60@1+0.07,62@0.5+0.52 len=1.07"},
        // Keys held across the start or the stop are cut there; their releases do nothing.
        {"d0 rec", "lit= held="},
        {"d0 rec +1 d1 +1 r1 rec", "take=62@1+1 held= lit="},
        {"d0 rec +1 d1 +1 r1 rec u0", "handled=0"},
        {"d0 rec +1 d1 +1 r1 rec u1", "handled=0"},
        {"rec +0.3 d0 +0.2 blur", "rec=1 take=60@0.3+0.2"},
        {saved + "rec", "rec=1 take="},
        {saved + "rec +0.1 d0 clear", "rec=0 take= held=", undoable},
        {saved + "play clear", "play=0 steps=0 take=", undoable},
        {saved + "play clear undo", "play=0 take=60@0.1+0.1", "消去したメロディを戻しました"},
        {saved + "clear undo undo", "take=60@0.1+0.1"}, // one level only
        // A new take: what was cleared before is gone for good.
        {saved + "clear rec clear", "take=", "メロディを消去しました"},
        {saved + "clear rec clear undo", "take="},
    });
}

TEST(Recording, AnExportWritesTheTakeOrSaysWhyNot) {
    AppFixture f;
    f.start();
    std::vector<std::string> written;
    std::error_code failure;
    const FileWriter writer = [&](const std::string& path, std::span<const std::uint8_t> bytes) {
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), f.m().takeAsMidiFile());
        written.push_back(path);
        return failure;
    };
    const std::string path = "/home/u/Music/take.mid";
    EXPECT_FALSE(f.m().exportTake(path, writer)); // no take yet
    f.run("rec d0 +0.1 u0");
    EXPECT_FALSE(f.m().exportTake(path, writer)); // still recording
    EXPECT_EQ(f.m().notice(), "まだ音が録音されていません");
    f.m().toggleRecording();

    const std::string failed = "take.mid を書き出せませんでした（";
    const struct {
        std::errc error;
        std::string notice;
    } rows[] = {
        {std::errc{}, "take.mid を書き出しました"},
        {std::errc::permission_denied, failed + "このフォルダには書き込めません）"},
        {std::errc::read_only_file_system, failed + "このフォルダには書き込めません）"},
        {std::errc::no_space_on_device, failed + "ディスクの空きが足りません）"},
        {std::errc::no_such_file_or_directory, failed + "フォルダが見つかりません）"},
        {std::errc::is_a_directory, failed + "同じ名前のフォルダがあります）"},
        {std::errc::io_error, failed + "Input/output error）"},
    };
    for (const auto& row : rows) {
        failure = std::make_error_code(row.error);
        EXPECT_EQ(f.m().exportTake(path, writer), row.error == std::errc{}) << row.notice;
        EXPECT_EQ(f.m().notice(), row.notice);
    }
    EXPECT_EQ(written.size(), std::size(rows)); // none while refused
    f.m().setSoundMode(SoundMode::sine);        // the file follows the timbre of playback
    EXPECT_NE(f.m().takeAsMidiFile(), standardMidiFile(f.m().recordedNotes(), SoundMode::piano));
}

} // namespace
} // namespace tunescrib::testing
