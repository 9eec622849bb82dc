#include "app/grapheme_cut.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

namespace tunescrib {

std::string cutToCharacters(std::string_view text, std::size_t maxCharacters) {
    // Decode by hand rather than with fromUTF8, to know which bytes each UTF-16 unit came
    // from: the cut must be a prefix of the original bytes, malformed ones included.
    icu::UnicodeString units;
    std::vector<std::size_t> byteOffsetOfUnit;
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(text.data(), i, length, c);
        units.append(c < 0 ? UChar32{0xFFFD} : c);
        byteOffsetOfUnit.resize(static_cast<std::size_t>(units.length()),
                                static_cast<std::size_t>(start));
    }
    byteOffsetOfUnit.push_back(text.size());

    const auto limit = static_cast<std::int32_t>(std::min<std::size_t>(maxCharacters, INT32_MAX));
    std::int32_t boundary = 0;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_SUCCESS(status)) {
        characters->setText(units);
        boundary = limit == 0 ? 0 : characters->next(limit);
        if (boundary == icu::BreakIterator::DONE) {
            boundary = units.length();
        }
    } else {
        // Without ICU's data, whole code points are the next best thing to characters.
        boundary = units.moveIndex32(0, limit);
    }
    return std::string(text.substr(0, byteOffsetOfUnit[static_cast<std::size_t>(boundary)]));
}

} // namespace tunescrib
