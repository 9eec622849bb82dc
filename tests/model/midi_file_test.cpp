#include "model/midi_file.h"

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

using Bytes = std::vector<std::uint8_t>;

RecordedNote note(std::int64_t midi, double start, double duration) {
    return RecordedNote{Uuid::random(), midi, start, duration};
}

TEST(MidiFile, OneNoteGivesTheWholeFileByteForByte) {
    // One line per part of the file.
    // clang-format off
    const Bytes expected = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, // format 0, 1 track, 480/quarter
        'M', 'T', 'r', 'k', 0, 0, 0, 37,                        //
        0x00, 0xFF, 0x03, 9, 'T', 'u', 'n', 'e', 's', 'c', 'r', 'i', 'b', // track name
        0x00, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20,                  // 500 000 us a quarter
        0x00, 0xC0, 0,                                          // acoustic grand piano
        0x83, 0x60, 0x90, 60, 100,                              // tick 480 = 0.5 s
        0x85, 0x50, 0x80, 60, 64,                               // 720 ticks later
        0x00, 0xFF, 0x2F, 0x00};
    // clang-format on
    EXPECT_EQ(standardMidiFile({note(60, 0.5, 0.75)}, SoundMode::piano), expected);
}

// Everything between the program change and the end of the track.
Bytes noteEvents(const Bytes& file, std::uint8_t program) {
    const Bytes head = standardMidiFile({}, SoundMode::piano);
    const std::size_t prefix = head.size() - 4; // up to the end-of-track event
    EXPECT_GE(file.size(), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.begin() + 18, file.begin()));
    EXPECT_EQ(file[prefix - 1], program);
    const std::size_t trackLength = file.size() - 22;
    EXPECT_EQ(Bytes(file.begin() + 18, file.begin() + 22),
              (Bytes{0, static_cast<std::uint8_t>(trackLength >> 16),
                     static_cast<std::uint8_t>(trackLength >> 8),
                     static_cast<std::uint8_t>(trackLength)}));
    EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{0x00, 0xFF, 0x2F, 0x00}));
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(prefix), file.end() - 4);
}

TEST(MidiFile, TakesBecomeNoteEventsThatNeverLeaveANoteHanging) {
    struct Row {
        const char* name;
        std::vector<RecordedNote> take;
        SoundMode mode;
        Bytes events; // delta ticks, then the message
    };
    // Each delta beside its message.
    // clang-format off
    const std::vector<Row> rows = {
        {"empty take", {}, SoundMode::piano, {}},
        {"a chord on the sine's program: offs after all ons",
         {note(60, 0, 1), note(64, 0, 1), note(67, 0, 1)},
         SoundMode::sine,
         {0, 0x90, 60, 100, 0, 0x90, 64, 100, 0, 0x90, 67, 100, //
          0x87, 0x40, 0x80, 60, 64, 0, 0x80, 64, 64, 0, 0x80, 67, 64}},
        {"one pitch overlapping itself: the first ends where the second starts",
         {note(60, 0, 1), note(60, 0.5, 1)},
         SoundMode::piano,
         {0, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 64, 0, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 64}},
        {"one pitch twice on one tick: one note to the later end",
         {note(62, 0, 0.5), note(62, 0.0004, 1)},
         SoundMode::piano,
         {0, 0x90, 62, 100, 0x87, 0x40, 0x80, 62, 64}},
        {"a zero-length note lasts one tick",
         {note(60, 1, 0)},
         SoundMode::piano,
         {0x87, 0x40, 0x90, 60, 100, 1, 0x80, 60, 64}},
        {"out of order, the next starting where one ends: the off goes first",
         {note(60, 0.5, 0.5), note(64, 0, 0.5)},
         SoundMode::piano,
         {0, 0x90, 64, 100, 0x83, 0x60, 0x80, 64, 64, 0, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 64}},
        {"times round to the nearest tick (1.536 -> 2, 3.456 -> 3)",
         {note(60, 0.0016, 0.002)},
         SoundMode::piano,
         {2, 0x90, 60, 100, 1, 0x80, 60, 64}},
        {"the lowest and highest notes the keys reach; none beyond MIDI's range",
         {note(24, 0, 0.5), note(115, 0, 0.5), note(128, 0, 0.5), note(-1, 0, 0.5)},
         SoundMode::piano,
         {0, 0x90, 24, 100, 0, 0x90, 115, 100, 0x83, 0x60, 0x80, 24, 64, 0, 0x80, 115, 64}},
        {"the end of a 10-minute take: a three-byte delta",
         {note(60, 599.5, 0.5)},
         SoundMode::piano,
         {0xA3, 0x90, 0x20, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 64}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(noteEvents(standardMidiFile(row.take, row.mode), midiProgram(row.mode)),
                  row.events);
    }
    EXPECT_NE(midiProgram(SoundMode::piano), midiProgram(SoundMode::sine));
}

} // namespace
} // namespace tunescrib
