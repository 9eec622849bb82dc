#pragma once
// The sounding voices, at most one per source identifier.
//
// Every member runs under the render state's lock. Only the main thread adds slots;
// the renderer only advances voices and marks them retired, so rendering never
// allocates or frees: a retired slot keeps its identifier's storage until it is reused.

#include "synth/synth_voice.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tunescrib {

struct VoiceSlot {
    std::string sourceID;
    SynthVoice voice;
    bool active = false;
};

class VoiceTable {
public:
    // Room for this many voices before the first growth (main thread).
    explicit VoiceTable(std::size_t initialCapacity = 64);

    // Main thread: makes `voice` the one voice of `sourceID`, replacing any voice it had.
    // The identifier is swapped in, so `sourceID` comes back holding a retired
    // identifier's old storage, to be freed after the lock is released.
    void put(std::string& sourceID, const SynthVoice& voice);
    // The voice of the identifier, or null.
    [[nodiscard]] SynthVoice* find(std::string_view sourceID);
    // Retires the voice of the identifier; false when there was none.
    bool remove(std::string_view sourceID);
    void clear();
    [[nodiscard]] bool empty() const { return activeCount == 0; }
    [[nodiscard]] std::size_t size() const { return activeCount; }

    // Slots in table order, active or not; for the renderer and for snapshots.
    [[nodiscard]] std::vector<VoiceSlot>& slots() { return table; }
    [[nodiscard]] const std::vector<VoiceSlot>& slots() const { return table; }
    // Audio thread: retires one slot without touching its storage.
    void retire(VoiceSlot& slot);

private:
    VoiceSlot* slotOf(std::string_view sourceID);

    std::vector<VoiceSlot> table;
    std::size_t activeCount = 0;
};

} // namespace tunescrib
