#include "model/key_binding.h"

#include <gtest/gtest.h>

#include <set>

namespace tunescrib {
namespace {

TEST(BindingsAreValid, NeedsTwentyDistinctKeyCodesAndIgnoresLabels) {
    auto duplicate = defaultBindings();
    duplicate[19].keyCode = duplicate[0].keyCode;
    auto shorter = defaultBindings();
    shorter.pop_back();
    auto longer = defaultBindings();
    longer.push_back({99, "X"});
    auto oddLabels = defaultBindings();
    oddLabels[0].label = "";
    oddLabels[1].label = oddLabels[2].label;

    struct Case {
        const char* what;
        BindingList list;
        bool valid;
    };
    for (const auto& c :
         {Case{"defaults", defaultBindings(), true}, Case{"two share a key", duplicate, false},
          Case{"19", shorter, false}, Case{"21", longer, false}, Case{"empty", {}, false},
          Case{"empty and repeated labels", oddLabels, true}}) {
        EXPECT_EQ(bindingsAreValid(c.list), c.valid) << c.what;
    }
}

TEST(Assigning, RefusesAnOutOfRangeTargetOrAnInvalidList) {
    const auto& d = defaultBindings();
    auto invalid = d;
    invalid.pop_back();
    for (std::int64_t target : {std::int64_t{-1}, std::int64_t{20}, INT64_MIN, INT64_MAX}) {
        EXPECT_EQ(assigning(12, "Q", target, d), (AssignResult{d, false})) << target;
    }
    EXPECT_EQ(assigning(12, "Q", 3, invalid), (AssignResult{invalid, false}));
}

// Every (key, target) pair over the default list, free keys included: the target gets the
// key; only a different owner changes, taking the target's old binding; swapped says so.
TEST(Assigning, KeepsEveryKeyOnAtMostOneNote) {
    const auto& d = defaultBindings();
    std::set<std::uint16_t> keys = {6, 7, 49, 65535};
    for (const auto& b : d) {
        keys.insert(b.keyCode);
    }
    for (auto key : keys) {
        for (std::size_t t = 0; t < d.size(); ++t) {
            const auto r = assigning(key, "N", static_cast<std::int64_t>(t), d);
            ASSERT_TRUE(bindingsAreValid(r.bindings)) << key << " -> " << t;
            bool ownerChanged = false;
            for (std::size_t i = 0; i < d.size(); ++i) {
                const bool owner = i != t && d[i].keyCode == key;
                EXPECT_EQ(r.bindings[i], (i == t ? KeyBinding{key, "N"} : owner ? d[t] : d[i]));
                ownerChanged = ownerChanged || owner;
            }
            EXPECT_EQ(r.swapped, ownerChanged) << key << " -> " << t;
        }
    }
}

} // namespace
} // namespace tunescrib
