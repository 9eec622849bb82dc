#pragma once
// Cutting user-visible text (key labels) without splitting a character. Labels can be
// any string a stored document carries, so this must cope with invalid bytes too.

#include <cstddef>
#include <string>
#include <string_view>

namespace tunescrib {

// The first `maxCharacters` user-perceived characters of UTF-8 `text`. A character is a
// code point together with what attaches to it: combining marks, variation selectors,
// emoji modifiers and tags, zero-width-joined sequences, and regional-indicator pairs
// (flags). A byte that is not part of a well-formed sequence counts as one character.
std::string cutToCharacters(std::string_view text, std::size_t maxCharacters);

} // namespace tunescrib
