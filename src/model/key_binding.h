#pragma once
// Which physical key plays which note: the binding list (index = note offset), the
// factory JIS layout, the validity rule and the reassignment with swap.

#include <cstdint>
#include <string>
#include <vector>

namespace tunescrib {

// keyCode is a virtual key code naming a key position (0 = the key of A), not what the
// key types; label is the text shown for it. The label is never examined: any string.
struct KeyBinding {
    std::uint16_t keyCode = 0;
    std::string label;
    bool operator==(const KeyBinding&) const = default;
};

using BindingList = std::vector<KeyBinding>;

// The factory layout, 20 entries in offset order: A W S E D F T G Y H U J K O L P ; : @ ].
const BindingList& defaultBindings();

// 20 entries with 20 distinct key codes. Labels are not examined.
bool bindingsAreValid(const BindingList& bindings);

struct AssignResult {
    BindingList bindings;
    bool swapped = false;
    bool operator==(const AssignResult&) const = default;
};

// Gives `target` the key (keyCode, label). When another note owned that key, the two
// notes exchange keys and swapped is true. An out-of-range target or an invalid input
// list returns the list unchanged.
AssignResult assigning(std::uint16_t keyCode, const std::string& label, std::int64_t target,
                       const BindingList& bindings);

} // namespace tunescrib
