#include "app/key_label.h"

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

TEST(LabelForKeyboardEvent, UsesFixedLabelsThenTheTrimmedUpperCasedText) {
    struct Case {
        std::uint16_t code;
        std::optional<std::string> characters;
        std::string label;
    };
    const Case cases[] = {
        {49, " ", "SPACE"},
        {49, "x", "SPACE"},
        {36, "\r", "ENTER"},
        {48, "\t", "TAB"},
        {51, "\b", "⌫"},
        {117, "\x7f", "DEL"},
        {53, "\x1b", "ESC"},
        {123, std::nullopt, "←"},
        {124, std::nullopt, "→"},
        {125, std::nullopt, "↓"},
        {126, std::nullopt, "↑"},
        {33, "[", "@"},
        {39, "'", ":"},
        {41, "ö", ";"},
        {42, "\\", "]"},
        {12, "q", "Q"},
        {12, " q\n", "Q"},
        {12, "ß", "SS"},
        {12, "ф", "Ф"},
        {12, "abcdefghijk", "ABCDEFGH"},
        {12, std::nullopt, "KEY 12"},
        {12, "", "KEY 12"},
        {12, " \t\u3000", "KEY 12"},
        // Keys that type only control or private-use code points have no readable text.
        {76, "\r", "KEY 76"},
        {105, "\x10", "KEY 105"},
        {99, "\uE000", "KEY 99"},
        {99, "\U000F0000\x01", "KEY 99"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            labelForKeyboardEvent(KeyEvent{KeyEventType::keyDown, 0, c.code, false, c.characters}),
            c.label)
            << c.code << " " << c.characters.value_or("(none)");
    }
}

std::string repeated(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

TEST(LabelForKeyboardEvent, CutsEightCharactersNeverInsideOneAndAlwaysGivesValidText) {
    struct Case {
        std::string characters;
        std::string label;
    };
    const Case cases[] = {
        {repeated("e\u0301", 9), repeated("E\u0301", 8)},   // with a combining accent
        {repeated("🇯🇵", 9), repeated("🇯🇵", 8)},             // flags: pairs of code points
        {repeated("👍🏽", 9), repeated("👍🏽", 8)}, // with a skin tone
        {"日本語のキーボードです", "日本語のキーボー"},
        // Invalid bytes become U+FFFD, so that the label can always be stored.
        {"\xff"
         "a",
         "\xEF\xBF\xBD"
         "A"},
        {"\xe3\x81", "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            labelForKeyboardEvent(KeyEvent{KeyEventType::keyDown, 0, 12, false, c.characters}),
            c.label)
            << c.characters;
    }
}

} // namespace
} // namespace tunescrib
