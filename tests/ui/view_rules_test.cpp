// When each control of the window is enabled, and the texts the window makes itself: the
// take summary in any locale, key labels cut to whole characters with a mark (where a
// character ends is the app layer's cutter's own table), and a key's cap from the symbols
// the layout gives its unshifted level.

#include "ui/layout_key_caps.h"
#include "ui/readout_text.h"
#include "ui/view_rules.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <clocale>
#include <string>
#include <vector>

namespace tunescrib {
namespace {

TEST(ViewRules, ControlsAreEnabledByTheTakeTheTransportAndTheLimits) {
    struct Case {
        const char* name;
        ViewState state;
        ControlStates expected;
    };
    // play, clear, export, drag, octave - +, transposition - + 0
    const Case cases[] = {
        {"empty take, idle", {4, 3, false, false, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {"take, idle", {4, 0, false, false, 2}, {1, 1, 1, 1, 1, 1, 1, 1, 0}},
        {"recording an empty take", {4, 3, true, false, 0}, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"recording over a take", {4, 3, true, false, 2}, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"playing", {4, 3, false, true, 2}, {1, 1, 0, 1, 0, 0, 0, 0, 0}},
        {"lowest limits", {2, -12, false, false, 0}, {0, 0, 0, 0, 0, 1, 0, 1, 1}},
        {"highest limits", {6, 12, false, false, 0}, {0, 0, 0, 0, 1, 0, 1, 0, 1}},
        {"one inside every limit", {3, -11, false, false, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {"one inside the upper limits", {5, 11, false, false, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(controlStates(c.state), c.expected);
    }
}

TEST(ReadoutText, TakeSummaryReadsTheSameInEveryLocale) {
    EXPECT_EQ(takeSummary(0, 0.0), "0音 / 0.0秒");
    EXPECT_EQ(takeSummary(12, 4.5), "12音 / 4.5秒");
    EXPECT_EQ(takeSummary(3, 1.96), "3音 / 2.0秒");
    // A decimal comma locale, if the machine has one, must not turn 4.5 into 4,5.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(takeSummary(12, 4.5), "12音 / 4.5秒");
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(ReadoutText, LabelsAreCutToThirtyTwoCharactersWithAMark) {
    struct Case {
        std::string label;
        std::string shown;
    };
    const Case cases[] = {
        {"", ""},
        {std::string(32, 'X'), std::string(32, 'X')},
        {std::string(33, 'X'), std::string(32, 'X') + "…"},
        {"é" + std::string(40, 'X'), "é" + std::string(31, 'X') + "…"}, // é is one character
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label.substr(0, 40));
        EXPECT_EQ(shownLabel(c.label), c.shown);
    }
}

TEST(LayoutKeyCaps, OneCharacterThatPrintsIsTheCapAndAnythingElseFallsBack) {
    struct Case {
        std::vector<std::uint32_t> keysyms;
        const char* cap; // nullptr: the stored label shows
    };
    const Case cases[] = {
        {{XKB_KEY_a}, "A"},
        {{XKB_KEY_bracketleft}, "["},
        {{XKB_KEY_udiaeresis}, "Ü"},
        {{XKB_KEY_kana_CHI}, "チ"},
        {{XKB_KEY_ssharp}, "ß"}, // its capital is two letters: kept as it is
        {{}, nullptr},
        {{XKB_KEY_a, XKB_KEY_b}, nullptr}, // a key that types several characters
        {{XKB_KEY_dead_circumflex}, nullptr},
        {{XKB_KEY_space}, nullptr},
        {{XKB_KEY_nobreakspace}, nullptr},
        {{XKB_KEY_Tab}, nullptr},
        {{XKB_KEY_Shift_L}, nullptr},
        {{XKB_KEY_NoSymbol}, nullptr},
        {{0x1000301}, nullptr}, // U+0301 COMBINING ACUTE ACCENT
        {{0x100e000}, nullptr}, // U+E000, private use
        {{0x10000ad}, nullptr}, // U+00AD SOFT HYPHEN, a format character
        {{0x101f3b9}, "🎹"},     // beyond the Basic Multilingual Plane
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << (c.keysyms.empty() ? 0 : c.keysyms[0]));
        const auto cap = keyCapForKeysyms(c.keysyms);
        if (c.cap == nullptr) {
            EXPECT_FALSE(cap.has_value()) << cap->toStdString();
        } else {
            ASSERT_TRUE(cap.has_value());
            EXPECT_EQ(*cap, QString::fromUtf8(c.cap));
        }
    }
}

} // namespace
} // namespace tunescrib
