#include "model/key_binding.h"

#include "model/pitch.h"

#include <algorithm>
#include <unordered_set>

namespace tunescrib {

const BindingList& defaultBindings() {
    static const BindingList bindings = {
        {0, "A"},  {13, "W"}, {1, "S"},  {14, "E"}, {2, "D"},  {3, "F"},  {17, "T"},
        {5, "G"},  {16, "Y"}, {4, "H"},  {32, "U"}, {38, "J"}, {40, "K"}, {31, "O"},
        {37, "L"}, {35, "P"}, {41, ";"}, {39, ":"}, {33, "@"}, {42, "]"},
    };
    return bindings;
}

bool bindingsAreValid(const BindingList& bindings) {
    if (bindings.size() != keyOffsets.size()) {
        return false;
    }
    std::unordered_set<std::uint16_t> codes;
    for (const auto& binding : bindings) {
        codes.insert(binding.keyCode);
    }
    return codes.size() == keyOffsets.size();
}

AssignResult assigning(std::uint16_t keyCode, const std::string& label, std::int64_t target,
                       const BindingList& bindings) {
    if (target < 0 || target >= static_cast<std::int64_t>(bindings.size()) ||
        !bindingsAreValid(bindings)) {
        return {bindings, false};
    }
    const auto t = static_cast<std::size_t>(target);
    const auto owner = std::find_if(bindings.begin(), bindings.end(),
                                    [&](const KeyBinding& b) { return b.keyCode == keyCode; });
    AssignResult result{bindings, false};
    result.bindings[t] = {keyCode, label};
    if (owner != bindings.end()) {
        const auto j = static_cast<std::size_t>(owner - bindings.begin());
        if (j != t) {
            result.bindings[j] = bindings[t];
            result.swapped = true;
        }
    }
    return result;
}

} // namespace tunescrib
