#include "model/utf8_text.h"

#include <cstdint>

namespace tunescrib {
namespace {

constexpr char32_t invalid = 0xFFFFFFFF;
constexpr char32_t zeroWidthJoiner = 0x200D;

struct Decoded {
    char32_t codePoint;
    std::size_t length;
};

// Decodes one code point at the start of `text`; a malformed sequence decodes as
// `invalid` with length 1, so that scanning always makes progress.
Decoded decodeOne(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {invalid, 1};
    }
    if (text.size() < length) {
        return {invalid, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {invalid, 1};
        }
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {invalid, 1};
    }
    return {value, length};
}

bool inRange(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

// Code points that belong to the character before them.
bool extendsPrevious(char32_t c) {
    return inRange(c, 0x0300, 0x036F) || inRange(c, 0x0483, 0x0489) ||
           inRange(c, 0x0591, 0x05BD) || inRange(c, 0x0610, 0x061A) ||
           inRange(c, 0x064B, 0x065F) || inRange(c, 0x0900, 0x0903) ||
           inRange(c, 0x093A, 0x094F) || inRange(c, 0x0E31, 0x0E3A) ||
           inRange(c, 0x0E47, 0x0E4E) || inRange(c, 0x1AB0, 0x1AFF) ||
           inRange(c, 0x1DC0, 0x1DFF) || inRange(c, 0x200C, 0x200D) ||
           inRange(c, 0x20D0, 0x20FF) || inRange(c, 0x3099, 0x309A) ||
           inRange(c, 0xFE00, 0xFE0F) || inRange(c, 0xFE20, 0xFE2F) ||
           inRange(c, 0x1F3FB, 0x1F3FF) || inRange(c, 0xE0020, 0xE007F) ||
           inRange(c, 0xE0100, 0xE01EF);
}

bool isRegionalIndicator(char32_t c) { return inRange(c, 0x1F1E6, 0x1F1FF); }

} // namespace

std::string cutToCharacters(std::string_view text, std::size_t maxCharacters) {
    std::size_t position = 0;
    std::size_t characters = 0;
    char32_t previous = invalid;
    bool pendingFlagHalf = false;
    while (position < text.size()) {
        const Decoded d = decodeOne(text.substr(position));
        const bool attaches = d.codePoint != invalid && characters > 0 &&
                              (extendsPrevious(d.codePoint) || previous == zeroWidthJoiner ||
                               (pendingFlagHalf && isRegionalIndicator(d.codePoint)));
        if (!attaches) {
            if (characters == maxCharacters) {
                break;
            }
            ++characters;
            pendingFlagHalf = isRegionalIndicator(d.codePoint);
        } else if (isRegionalIndicator(d.codePoint)) {
            pendingFlagHalf = false;
        }
        previous = d.codePoint;
        position += d.length;
    }
    return std::string(text.substr(0, position));
}

} // namespace tunescrib
