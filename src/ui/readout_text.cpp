#include "ui/readout_text.h"

#include "app/grapheme_cut.h"

#include <array>
#include <charconv>

namespace tunescrib {

std::string signedText(std::int64_t value) {
    return (value > 0 ? "+" : "") + std::to_string(value);
}

std::string takeSummary(std::size_t noteCount, double takeDuration) {
    // to_chars, not printf: the process runs under the user's LC_NUMERIC (Qt sets it),
    // and the summary must read 4.5 in every locale.
    std::array<char, 512> seconds{}; // room for any double in fixed notation
    const auto end = std::to_chars(seconds.data(), seconds.data() + seconds.size(), takeDuration,
                                   std::chars_format::fixed, 1)
                         .ptr;
    return std::to_string(noteCount) + "音 / " + std::string(seconds.data(), end) + "秒";
}

std::string shownLabel(std::string_view label) {
    std::string cut = cutToCharacters(label, maximumShownLabelCharacters);
    if (cut.size() < label.size()) {
        cut += "…";
    }
    return cut;
}

} // namespace tunescrib
