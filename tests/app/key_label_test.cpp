#include "app/key_label.h"

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

// Cutting itself (combining marks, flags, emoji) is the grapheme cut test.
TEST(LabelForKeyboardEvent, UsesFixedLabelsThenTheTrimmedUpperCasedText) {
    struct Case {
        std::uint16_t code;
        std::optional<std::string> characters;
        std::string label;
    };
    const Case cases[] = {
        {49, "x", "SPACE"}, // the fixed label wins over what the key types
        {36, "\r", "ENTER"},
        {117, "\x7f", "DEL"},
        {123, std::nullopt, "←"},
        {124, std::nullopt, "→"},
        {125, std::nullopt, "↓"},
        {126, std::nullopt, "↑"},
        {48, "\t", "TAB"},
        {51, "\b", "⌫"},
        {53, "\x1b", "ESC"},
        // The JIS punctuation keys keep their printed caps whatever the layout types.
        {33, "[", "@"},
        {39, "'", ":"},
        {41, ";", ";"},
        {42, "\\", "]"},
        {12, " q\n", "Q"},
        {12, "ß", "SS"},
        {12, "ф", "Ф"},
        {12, "日本語のキーボードです", "日本語のキーボー"},
        {12, "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301",
         "E\u0301E\u0301E\u0301E\u0301E\u0301E\u0301E\u0301E\u0301"},
        {12, std::nullopt, "KEY 12"},
        {12, " \t\u3000", "KEY 12"},
        // Only control or private-use code points: nothing readable.
        {76, "\r", "KEY 76"},
        {99, "\U000F0000\x01", "KEY 99"},
        // Invalid bytes become U+FFFD, so that the label can always be stored.
        {12,
         "\xff"
         "a",
         "\xEF\xBF\xBD"
         "A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            labelForKeyboardEvent(KeyEvent{KeyEventType::keyDown, 0, c.code, false, c.characters}),
            c.label)
            << c.code << " " << c.characters.value_or("(none)");
    }
}

} // namespace
} // namespace tunescrib
