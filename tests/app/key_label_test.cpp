#include "app/grapheme_cut.h"
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
        {12, "\377a", "\uFFFDA"}, // octal: "\xffa" would be one escape
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            labelForKeyboardEvent(KeyEvent{KeyEventType::keyDown, 0, c.code, false, c.characters}),
            c.label)
            << c.code << " " << c.characters.value_or("(none)");
    }
}

// A label is cut to whole characters, as ICU breaks them.
TEST(CutToCharacters, NeverSplitsACharacter) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t max;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"short ASCII is whole", "ESC", 8, "ESC"},
        {"long ASCII", "ABCDEFGHIJ", 8, "ABCDEFGH"},
        {"empty", "", 8, ""},
        {"zero characters", "ABC", 0, ""},
        {"kana are one character each", "あいうえおかきくけこ", 8, "あいうえおかきく"},
        {"combining accent stays with its letter", "e\u0301e\u0301e\u0301", 2, "e\u0301e\u0301"},
        {"skin tone stays with its emoji", "👍🏽👍🏽", 1, "👍🏽"},
        {"family joined by ZWJ is one", "👨‍👩‍👧X", 1, "👨‍👩‍👧"},
        {"flags pair their indicators", "🇯🇵🇫🇷", 1, "🇯🇵"},
        {"a third indicator starts a new flag", "🇯🇵🇫", 1, "🇯🇵"},
        {"right-to-left text", "שלום עולם", 4, "שלום"},
        {"variation selector", "❤️❤️", 1, "❤️"},
        {"lone continuation bytes count one each", "\x80\x80\x80", 2, "\x80\x80"},
        {"a truncated sequence is one character", "A\343\201B", 2, "A\343\201"},
        {"overlong form is bytes", "\xC0\xAF", 1, "\xC0"},
        {"combining mark at the start stands alone", "\u0301AB", 2, "\u0301A"},
        {"Bengali vowel sign stays with its consonant", "কিকি", 1, "কি"},
        {"Tamil two-part vowel sign stays with its consonant", "கொகொ", 1, "கொ"},
        {"conjoining Hangul jamo make one syllable", "\u1100\u1161\u11A8\u1100", 1,
         "\u1100\u1161\u11A8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cutToCharacters(c.text, c.max), c.expected) << c.what;
    }
}

} // namespace
} // namespace tunescrib
