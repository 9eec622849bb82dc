#include "model/midi_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <map>
#include <string_view>

namespace tunescrib {
namespace {

constexpr std::uint16_t ticksPerQuarter = 480;
// 500 000 microseconds per quarter note, 120 beats per minute, in three bytes.
constexpr std::string_view tempo("\x07\xA1\x20", 3);
constexpr std::uint8_t velocity = 100;
constexpr std::uint8_t releaseVelocity = 64; // "no particular release"
constexpr std::string_view trackName = "Tunescrib";

struct TickNote {
    std::uint8_t midi;
    std::int64_t on;
    std::int64_t off;
};

struct Event {
    std::int64_t tick;
    bool isOn;
    std::uint8_t midi;
};

std::int64_t toTick(double seconds) {
    return std::llround(seconds * midiTicksPerSecond);
}

// In start order; ties keep the take's order.
std::vector<TickNote> toTicks(const std::vector<RecordedNote>& take) {
    std::vector<TickNote> notes;
    for (const auto& note : take) {
        if (note.midi < 0 || note.midi > 127) {
            continue;
        }
        const std::int64_t on = std::max<std::int64_t>(toTick(note.start), 0);
        const std::int64_t off = std::max(toTick(note.start + note.duration), on + 1);
        notes.push_back({static_cast<std::uint8_t>(note.midi), on, off});
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const TickNote& a, const TickNote& b) { return a.on < b.on; });
    return notes;
}

// A second note-on of a sounding pitch is, to most receivers, a retrigger whose one
// note-off then ends both: so the earlier note ends where the later one starts.
std::vector<TickNote> withoutOverlaps(std::vector<TickNote> notes) {
    std::map<std::uint8_t, std::size_t> lastOfPitch;
    std::vector<bool> dropped(notes.size(), false);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const auto found = lastOfPitch.find(notes[i].midi);
        if (found != lastOfPitch.end()) {
            TickNote& earlier = notes[found->second];
            if (earlier.on == notes[i].on) {
                notes[i].off = std::max(notes[i].off, earlier.off);
                dropped[found->second] = true;
            } else {
                earlier.off = std::min(earlier.off, notes[i].on);
            }
        }
        lastOfPitch[notes[i].midi] = i;
    }
    std::vector<TickNote> kept;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (!dropped[i]) {
            kept.push_back(notes[i]);
        }
    }
    return kept;
}

// By tick; on one tick every note-off comes before any note-on, so a note that starts
// where another of its pitch ends is not cut by that note's end.
std::vector<Event> events(const std::vector<TickNote>& notes) {
    std::vector<Event> list;
    for (const auto& note : notes) {
        list.push_back({note.on, true, note.midi});
        list.push_back({note.off, false, note.midi});
    }
    std::stable_sort(list.begin(), list.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : (!a.isOn && b.isOn);
    });
    return list;
}

class TrackWriter {
public:
    void meta(std::uint8_t type, std::string_view data) {
        put(0);
        bytes.insert(bytes.end(), {0xFF, type});
        putVariable(data.size());
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    void channel(std::int64_t tick, std::initializer_list<std::uint8_t> message) {
        putVariable(static_cast<std::uint64_t>(tick - lastTick));
        lastTick = tick;
        bytes.insert(bytes.end(), message);
    }
    std::vector<std::uint8_t> bytes;

private:
    void put(std::uint8_t byte) { bytes.push_back(byte); }
    // Seven bits per byte, most significant first, the high bit set on all but the last.
    void putVariable(std::uint64_t value) {
        std::array<std::uint8_t, 10> groups{};
        int count = 0;
        do {
            groups[count++] = value & 0x7F;
            value >>= 7;
        } while (value != 0);
        while (count > 1) {
            put(groups[--count] | 0x80);
        }
        put(groups[0]);
    }
    std::int64_t lastTick = 0;
};

void putBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

} // namespace

// The program follows what the ear hears, since a receiver has no sine of its own:
// the piano tone is an acoustic grand (0). The sine is a steady tone with no overtones
// that holds while the key is down; of the General MIDI sounds the ocarina (79), a
// vessel flute whose tone is almost a bare fundamental and which sustains without
// decay, comes nearest, where the soft leads carry square or sawtooth overtones and
// the flute a breath noise.
std::uint8_t midiProgram(SoundMode mode) {
    return mode == SoundMode::piano ? 0 : 79;
}

std::vector<std::uint8_t> standardMidiFile(const std::vector<RecordedNote>& take, SoundMode mode) {
    TrackWriter track;
    track.meta(0x03, trackName);
    track.meta(0x51, tempo);
    track.channel(0, {0xC0, midiProgram(mode)});
    for (const Event& event : events(withoutOverlaps(toTicks(take)))) {
        const std::uint8_t status = event.isOn ? 0x90 : 0x80;
        track.channel(event.tick, {status, event.midi, event.isOn ? velocity : releaseVelocity});
    }
    track.meta(0x2F, {});

    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
    putBigEndian(file, 6, 4);
    putBigEndian(file, 0, 2); // format 0: one track
    putBigEndian(file, 1, 2);
    putBigEndian(file, ticksPerQuarter, 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(file, track.bytes.size(), 4);
    file.insert(file.end(), track.bytes.begin(), track.bytes.end());
    return file;
}

} // namespace tunescrib
