#pragma once
// Cutting user-visible text (key labels) without splitting a character. Labels can be
// any string a stored document carries, so this must cope with invalid bytes too.

#include <cstddef>
#include <string>
#include <string_view>

namespace tunescrib {

// The first `maxCharacters` user-perceived characters (extended grapheme clusters, as ICU
// finds them) of UTF-8 `text`, as a prefix of its bytes. A malformed sequence counts as one
// character of its own, as the replacement character it would be shown as. Pure: any thread.
std::string cutToCharacters(std::string_view text, std::size_t maxCharacters);

} // namespace tunescrib
