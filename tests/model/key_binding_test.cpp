#include "model/key_binding.h"

#include <gtest/gtest.h>

#include <set>

namespace tunescrib {
namespace {

TEST(DefaultBindings, AreTheJisLetterRowsInPianoOrder) {
    const std::vector<std::pair<int, const char*>> expected = {
        {0, "A"},  {13, "W"}, {1, "S"},  {14, "E"}, {2, "D"},  {3, "F"},  {17, "T"},
        {5, "G"},  {16, "Y"}, {4, "H"},  {32, "U"}, {38, "J"}, {40, "K"}, {31, "O"},
        {37, "L"}, {35, "P"}, {41, ";"}, {39, ":"}, {33, "@"}, {42, "]"}};
    ASSERT_EQ(defaultBindings().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(defaultBindings()[i].keyCode, expected[i].first) << i;
        EXPECT_EQ(defaultBindings()[i].label, expected[i].second) << i;
    }
}

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
    for (const auto& c : {Case{"defaults", defaultBindings(), true},
                          Case{"two share a key", duplicate, false}, Case{"19", shorter, false},
                          Case{"21", longer, false}, Case{"empty", {}, false},
                          Case{"empty and repeated labels", oddLabels, true}}) {
        EXPECT_EQ(bindingsAreValid(c.list), c.valid) << c.what;
    }
}

TEST(Assigning, SwapsReplacesOrRefusesAsTheRuleSays) {
    const auto& d = defaultBindings();
    auto invalid = d;
    invalid.pop_back();

    // Key 13 belongs to offset 1: the two notes exchange keys with their labels.
    auto r = assigning(13, "W", 0, d);
    EXPECT_TRUE(r.swapped);
    EXPECT_EQ(r.bindings[0], (KeyBinding{13, "W"}));
    EXPECT_EQ(r.bindings[1], (KeyBinding{0, "A"}));

    // A key no note has: only the target changes; its old key becomes free.
    r = assigning(12, "Q", 0, d);
    EXPECT_FALSE(r.swapped);
    EXPECT_EQ(r.bindings[0], (KeyBinding{12, "Q"}));
    for (std::size_t i = 1; i < d.size(); ++i) {
        EXPECT_EQ(r.bindings[i], d[i]);
    }
    for (const auto& b : r.bindings) {
        EXPECT_NE(b.keyCode, 0);
    }

    // The target's own key with a new label replaces only the label.
    r = assigning(0, "Ä", 0, d);
    EXPECT_FALSE(r.swapped);
    EXPECT_EQ(r.bindings[0], (KeyBinding{0, "Ä"}));

    for (std::int64_t target : {-1, 20, 1000}) {
        EXPECT_EQ(assigning(12, "Q", target, d), (AssignResult{d, false})) << target;
    }
    EXPECT_EQ(assigning(12, "Q", 3, invalid), (AssignResult{invalid, false}));
}

// Over every (key, target) pair of the default list: the result stays valid, exactly
// the target and at most one owner change, and swapped tells whether an owner did.
TEST(Assigning, KeepsEveryKeyOnAtMostOneNote) {
    const auto& d = defaultBindings();
    std::set<std::uint16_t> keys;
    for (const auto& b : d) {
        keys.insert(b.keyCode);
    }
    for (std::uint16_t extra : {6, 7, 49, 65535}) {
        keys.insert(extra);
    }
    for (auto key : keys) {
        for (std::int64_t t = 0; t < 20; ++t) {
            const auto r = assigning(key, "N", t, d);
            ASSERT_TRUE(bindingsAreValid(r.bindings)) << key << " -> " << t;
            EXPECT_EQ(r.bindings[static_cast<std::size_t>(t)], (KeyBinding{key, "N"}));
            int changed = 0;
            for (std::size_t i = 0; i < d.size(); ++i) {
                if (i != static_cast<std::size_t>(t) && r.bindings[i] != d[i]) {
                    ++changed;
                    EXPECT_EQ(d[i].keyCode, key);
                    EXPECT_EQ(r.bindings[i], d[static_cast<std::size_t>(t)]);
                }
            }
            const bool ownedElsewhere =
                std::any_of(d.begin(), d.end(), [&](const KeyBinding& b) {
                    return b.keyCode == key && &b != &d[static_cast<std::size_t>(t)];
                });
            EXPECT_EQ(r.swapped, ownedElsewhere) << key << " -> " << t;
            EXPECT_EQ(changed, ownedElsewhere ? 1 : 0);
        }
    }
}

} // namespace
} // namespace tunescrib
