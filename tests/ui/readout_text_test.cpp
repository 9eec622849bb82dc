// The texts the window formats itself: the take summary in any locale, and key labels
// cut without splitting a character.

#include "ui/readout_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace tunescrib {
namespace {

TEST(ReadoutText, TakeSummaryReadsTheSameInEveryLocale) {
    EXPECT_EQ(takeSummary(0, 0.0), "0音 / 0.0秒");
    EXPECT_EQ(takeSummary(12, 4.5), "12音 / 4.5秒");
    EXPECT_EQ(takeSummary(3, 1.96), "3音 / 2.0秒");
    // A decimal comma locale, if the machine has one, must not turn 4.5 into 4,5.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(takeSummary(12, 4.5), "12音 / 4.5秒");
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(ReadoutText, LabelsAreCutWholeCharactersWithAMark) {
    struct Case {
        std::string label;
        std::string shown;
    };
    const std::string e = "e\u0301\u0301";           // e with two combining acute accents
    const std::string family = "👨‍👩‍👧"; // one character of five code points
    std::string longEs;
    std::string thirtyTwoEs;
    for (int i = 0; i < 40; ++i) {
        longEs += e;
        if (i < 32) {
            thirtyTwoEs += e;
        }
    }
    const Case cases[] = {
        {"", ""},
        {std::string(32, 'X'), std::string(32, 'X')},
        {std::string(1 << 20, 'X'), std::string(32, 'X') + "…"},
        {longEs, thirtyTwoEs + "…"},
        {family + std::string(40, 'Y'), family + std::string(31, 'Y') + "…"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label.substr(0, 40));
        EXPECT_EQ(shownLabel(c.label), c.shown);
    }
}

} // namespace
} // namespace tunescrib
