// When each control of the window is enabled, and the texts that follow from the state.

#include "ui/view_rules.h"

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

TEST(ViewRules, ControlsAreEnabledByTheTakeTheTransportAndTheLimits) {
    struct Case {
        const char* name;
        ViewState state;
        ControlStates expected;
    };
    // play, clear, export, drag, octave - +, transposition - + 0
    const Case cases[] = {
        {"empty take, idle", {4, 3, false, false, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {"take, idle", {4, 0, false, false, 2}, {1, 1, 1, 1, 1, 1, 1, 1, 0}},
        {"recording an empty take", {4, 3, true, false, 0}, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"recording over a take", {4, 3, true, false, 2}, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
        {"playing", {4, 3, false, true, 2}, {1, 1, 0, 1, 0, 0, 0, 0, 0}},
        {"lowest octave, lowest transposition",
         {2, -12, false, false, 0},
         {0, 0, 0, 0, 0, 1, 0, 1, 1}},
        {"highest octave, highest transposition",
         {6, 12, false, false, 0},
         {0, 0, 0, 0, 1, 0, 1, 0, 1}},
        {"one inside every limit", {3, -11, false, false, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {"one inside the upper limits", {5, 11, false, false, 0}, {0, 0, 0, 0, 1, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(controlStates(c.state), c.expected);
    }
}

TEST(ViewRules, RangeAndCapturePromptTexts) {
    EXPECT_EQ(rangeText("C4", "G5"), "C4 — G5");
    EXPECT_EQ(capturePrompt(std::nullopt), "JISの文字キー2段を音階と同じ並びで表示しています。"
                                           "音を選ぶと、次に押したPCキーへ割り当てます。");
    EXPECT_EQ(capturePrompt("F#4"), "F#4 に使いたいPCキーを押してください。Escで中止。");
}

} // namespace
} // namespace tunescrib
