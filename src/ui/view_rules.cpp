#include "ui/view_rules.h"

#include "model/pitch.h"

namespace tunescrib {

ControlStates controlStates(const ViewState& state) {
    const bool hasTake = state.noteCount > 0;
    const bool settingsFree = !state.recording && !state.playing;
    return {
        .canPlay = hasTake && !state.recording,
        .canClear = hasTake || state.recording,
        .canExport = hasTake && settingsFree,
        .canDragTake = hasTake && !state.recording,
        .canLowerOctave = settingsFree && state.baseOctave > minOctave,
        .canRaiseOctave = settingsFree && state.baseOctave < maxOctave,
        .canLowerTransposition = settingsFree && state.transposition > minTransposition,
        .canRaiseTransposition = settingsFree && state.transposition < maxTransposition,
        .canResetTransposition = settingsFree && state.transposition != 0,
    };
}

std::string rangeText(std::string_view lowest, std::string_view highest) {
    std::string text(lowest);
    text += " \u2014 ";
    text += highest;
    return text;
}

std::string capturePrompt(std::optional<std::string_view> waitingNote) {
    if (!waitingNote) {
        return "JISの文字キー2段を音階と同じ並びで表示しています。"
               "音を選ぶと、次に押したPCキーへ割り当てます。";
    }
    return std::string(*waitingNote) + " に使いたいPCキーを押してください。Escで中止。";
}

} // namespace tunescrib
