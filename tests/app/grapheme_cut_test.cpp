#include "app/grapheme_cut.h"

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

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
        {"a truncated sequence is one character",
         "A\xE3\x81"
         "B",
         2, "A\xE3\x81"},
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
