#include "synth/voice_table.h"

#include <algorithm>
#include <utility>

namespace tunescrib {

VoiceTable::VoiceTable(std::size_t initialCapacity) : table(initialCapacity) {}

VoiceSlot* VoiceTable::slotOf(std::string_view sourceID) {
    for (auto& slot : table) {
        if (slot.active && slot.sourceID == sourceID) {
            return &slot;
        }
    }
    return nullptr;
}

bool VoiceTable::put(std::string& sourceID, const SynthVoice& voice) {
    if (VoiceSlot* held = slotOf(sourceID)) {
        held->voice = voice;
        return true;
    }
    VoiceSlot* free = nullptr;
    for (auto& slot : table) {
        if (!slot.active) {
            free = &slot;
            break;
        }
    }
    if (free == nullptr) {
        return false;
    }
    std::swap(free->sourceID, sourceID);
    free->voice = voice;
    free->active = true;
    ++activeCount;
    return true;
}

void VoiceTable::adopt(std::vector<VoiceSlot>& larger) {
    // Strings move by handing over their storage: nothing is allocated here.
    std::swap_ranges(table.begin(), table.end(), larger.begin());
    table.swap(larger);
}

SynthVoice* VoiceTable::find(std::string_view sourceID) {
    VoiceSlot* slot = slotOf(sourceID);
    return slot != nullptr ? &slot->voice : nullptr;
}

bool VoiceTable::remove(std::string_view sourceID) {
    VoiceSlot* slot = slotOf(sourceID);
    if (slot == nullptr) {
        return false;
    }
    retire(*slot);
    return true;
}

void VoiceTable::clear() {
    for (auto& slot : table) {
        slot.active = false;
    }
    activeCount = 0;
}

void VoiceTable::retire(VoiceSlot& slot) {
    if (slot.active) {
        slot.active = false;
        --activeCount;
    }
}

} // namespace tunescrib
