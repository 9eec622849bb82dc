#include "app/key_label.h"

#include "app/grapheme_cut.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace tunescrib {
namespace {

constexpr std::size_t maxLabelCharacters = 8;

constexpr std::array<std::pair<std::uint16_t, const char*>, 14> specialLabels{{
    {33, "@"},
    {36, "ENTER"},
    {39, ":"},
    {41, ";"},
    {42, "]"},
    {48, "TAB"},
    {49, "SPACE"},
    {51, "⌫"},
    {53, "ESC"},
    {117, "DEL"},
    {123, "←"},
    {124, "→"},
    {125, "↓"},
    {126, "↑"},
}};

bool isInvisible(UChar32 c) {
    const auto type = u_charType(c);
    return type == U_CONTROL_CHAR || type == U_PRIVATE_USE_CHAR;
}

// Trimmed, upper-cased text; empty when nothing readable is left. Invalid UTF-8 comes
// out as U+FFFD, so the result can always be stored.
std::string readableCharacters(const std::string& characters) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(characters);
    std::int32_t begin = 0;
    std::int32_t end = text.length();
    while (begin < end && u_isUWhiteSpace(text.char32At(begin))) {
        begin = text.moveIndex32(begin, 1);
    }
    while (end > begin && u_isUWhiteSpace(text.char32At(text.moveIndex32(end, -1)))) {
        end = text.moveIndex32(end, -1);
    }
    bool readable = false;
    for (std::int32_t i = begin; i < end && !readable; i = text.moveIndex32(i, 1)) {
        readable = !isInvisible(text.char32At(i));
    }
    if (!readable) {
        return {};
    }
    icu::UnicodeString trimmed(text, begin, end - begin);
    std::string utf8;
    trimmed.toUpper(icu::Locale::getRoot()).toUTF8String(utf8);
    return utf8;
}

} // namespace

std::string labelForKeyboardEvent(const KeyEvent& event) {
    const auto special =
        std::find_if(specialLabels.begin(), specialLabels.end(),
                     [&](const auto& entry) { return entry.first == event.keyCode; });
    if (special != specialLabels.end()) {
        return special->second;
    }
    if (event.charactersIgnoringModifiers) {
        const std::string text = readableCharacters(*event.charactersIgnoringModifiers);
        if (!text.empty()) {
            return cutToCharacters(text, maxLabelCharacters);
        }
    }
    return "KEY " + std::to_string(event.keyCode);
}

} // namespace tunescrib
