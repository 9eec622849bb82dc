#pragma once
// The sounding voices, at most one per source identifier.
//
// Every member runs under the render state's lock. Only the main thread adds slots or
// writes identifiers; the renderer only advances voices and marks them retired, so
// rendering never allocates or frees: a retired slot keeps its identifier's storage until
// it is reused. The main thread may therefore read the slot count and the identifiers
// without the lock; `active` and `voice` need it.

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
    // identifier's old storage, to be freed after the lock is released. Never allocates:
    // false, and nothing stored, when a new identifier finds no free slot (see full()).
    bool put(std::string& sourceID, const SynthVoice& voice);
    // Whether every slot holds a voice, so that a new identifier needs a larger table.
    [[nodiscard]] bool full() const { return activeCount == table.size(); }
    // Main thread: moves every slot into `larger`, which the caller made with more slots
    // outside the lock, and hands the old storage back in it, to be freed after the lock.
    void adopt(std::vector<VoiceSlot>& larger);
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
