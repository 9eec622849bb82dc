#pragma once
// When the window's controls are enabled and the texts that follow from the model's
// state: decided here once, so that the QML only binds to them. Pure functions, any
// thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tunescrib {

struct ViewState {
    std::int64_t baseOctave = 4;
    std::int64_t transposition = 0;
    bool recording = false;
    bool playing = false;
    std::size_t noteCount = 0;
};

// Which controls may be used. Recording is always allowed; the octave and the
// transposition wait until the take is neither being recorded nor played.
struct ControlStates {
    bool canPlay = false;  // also during playback: pressing again restarts it
    bool canClear = false; // also while recording an empty take
    bool canExport = false;
    bool canDragTake = false; // out of the window as a file, also during playback
    bool canLowerOctave = false;
    bool canRaiseOctave = false;
    bool canLowerTransposition = false;
    bool canRaiseTransposition = false;
    bool canResetTransposition = false;

    bool operator==(const ControlStates&) const = default;
};

ControlStates controlStates(const ViewState& state);

// "C4 — G5": the lowest and the highest playable note.
std::string rangeText(std::string_view lowest, std::string_view highest);

// What the key-map panel asks for: how it works while no note waits, and which key to
// press while `waitingNote` (the name of the note being mapped) does.
std::string capturePrompt(std::optional<std::string_view> waitingNote);

} // namespace tunescrib
