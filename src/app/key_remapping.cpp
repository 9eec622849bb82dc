// Choosing a note in the key-map panel and capturing its new key.
#include "app/app_model.h"

#include "app/key_label.h"
#include "app/status_messages.h"

namespace tunescrib {

void AppModel::selectMapping(std::int64_t offset) {
    if (offset < keyOffsets.front() || offset > keyOffsets.back()) {
        return;
    }
    assign(Property::mappingOpen, mappingOpen_, true);
    assign(Property::mappingTarget, mappingTarget_, std::optional(offset));
    assign(Property::notice, notice_, noteNameFor(offset) + message::waitingForKey);
}

void AppModel::resetBindings() {
    assign(Property::bindings, bindings_, defaultBindings());
    assign(Property::mappingTarget, mappingTarget_, std::optional<std::int64_t>());
    announce(message::layoutReset);
}

void AppModel::setMappingOpen(bool open) {
    if (open) {
        assign(Property::mappingOpen, mappingOpen_, true);
    } else {
        closeMapping();
    }
}

void AppModel::closeMapping() {
    assign(Property::mappingOpen, mappingOpen_, false);
    assign(Property::mappingTarget, mappingTarget_, std::optional<std::int64_t>());
}

bool AppModel::captureKey(const KeyEvent& event) {
    if (event.keyCode == keycode::escape) {
        assign(Property::mappingTarget, mappingTarget_, std::optional<std::int64_t>());
        assign(Property::notice, notice_, std::string(message::captureCancelled));
        return true;
    }
    // Keep waiting: a held key's repeats and a modifier pressed alone are no choice.
    if (event.isRepeat || keycode::isModifier(event.keyCode)) {
        return true;
    }
    const std::int64_t target = *mappingTarget_;
    AssignResult result = assigning(event.keyCode, labelForKeyboardEvent(event), target, bindings_);
    assign(Property::bindings, bindings_, std::move(result.bindings));
    const std::string name = noteNameFor(target);
    assign(Property::mappingTarget, mappingTarget_, std::optional<std::int64_t>());
    announce(name + (result.swapped ? message::keysSwapped : message::keyChanged));
    return true;
}

std::string AppModel::noteNameFor(std::int64_t offset) const {
    return noteDetails(midiFor(offset)).name;
}

} // namespace tunescrib
