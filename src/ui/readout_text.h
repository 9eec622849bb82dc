#pragma once
// The few texts the window formats from numbers or cuts from stored data. Pure functions,
// any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tunescrib {

// "+3", "0", "-2": a plus sign only for positive values.
std::string signedText(std::int64_t value);

// "12音 / 4.5秒": the note count and the take's length to a tenth of a second.
std::string takeSummary(std::size_t noteCount, double takeDuration);

// Longest key label handed to the views, in user-perceived characters. A chip shows far
// fewer; the cap keeps a stored label of any length from costing layout time.
inline constexpr std::size_t maximumShownLabelCharacters = 32;

// `label` cut to maximumShownLabelCharacters characters, with "…" when something was cut.
// Never splits a character (combining marks and emoji sequences stay whole).
std::string shownLabel(std::string_view label);

} // namespace tunescrib
