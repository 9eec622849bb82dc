#include "app_fixture.h"

#include "model/preferences.h"

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

struct KeyRemapping : ::testing::Test, AppFixture {
    void SetUp() override { start(); }
};

TEST_F(KeyRemapping, ChoosingANoteWaitsForAKeyNamedAtTheSoundingPitch) {
    m().selectMapping(0);
    EXPECT_TRUE(m().mappingOpen());
    EXPECT_EQ(m().mappingTarget(), 0);
    EXPECT_EQ(m().notice(), "C4 の割り当て待ち");
    m().closeMapping();
    m().changeTransposition(-1);
    m().selectMapping(0);
    EXPECT_EQ(m().notice(), "B3 の割り当て待ち");
    m().selectMapping(19); // replaces the pending choice
    EXPECT_EQ(m().mappingTarget(), 19);
    for (const std::int64_t outside : {std::int64_t{-1}, std::int64_t{20}, INT64_MIN}) {
        m().selectMapping(outside);
        EXPECT_EQ(m().mappingTarget(), 19);
    }
}

TEST_F(KeyRemapping, ACapturedKeyIsAssignedSwappedOrRelabelled) {
    struct Case {
        const char* what;
        std::uint16_t code;
        std::string characters;
        std::int64_t target;
        const char* notice;
        std::vector<std::pair<std::int64_t, KeyBinding>> expected;
    };
    const Case cases[] = {
        {"key of another note",
         13,
         "w",
         0,
         "C4 と別のキーを入れ替えました",
         {{0, {13, "W"}}, {1, {0, "A"}}}},
        {"owner above or below",
         0,
         "a",
         1,
         "C♯4 と別のキーを入れ替えました",
         {{1, {0, "A"}}, {0, {13, "W"}}}},
        {"free key", 12, "q", 0, "C4 のキーを変更しました", {{0, {12, "Q"}}}},
        {"its own key", 0, "ä", 0, "C4 のキーを変更しました", {{0, {0, "Ä"}}}},
        {"special label", 49, " ", 19, "G5 のキーを変更しました", {{19, {49, "SPACE"}}}},
    };
    for (const auto& c : cases) {
        m().resetBindings();
        m().selectMapping(c.target);
        EXPECT_TRUE(m().handleKeyEvent(keyDown(c.code, modifier::shift, false, c.characters)));
        EXPECT_EQ(m().notice(), c.notice) << c.what;
        for (const auto& [offset, binding] : c.expected) {
            EXPECT_EQ(m().bindings()[offset], binding) << c.what << " " << offset;
        }
        EXPECT_TRUE(bindingsAreValid(m().bindings())) << c.what;
        EXPECT_EQ(m().mappingTarget(), std::nullopt) << c.what;
        EXPECT_TRUE(m().mappingOpen()) << c.what;
        EXPECT_THAT(m().activeMidis(), IsEmpty()) << c.what; // capturing plays nothing
        EXPECT_EQ(decodePreferences(store.entries.at(std::string(preferencesKey)))->bindings,
                  m().bindings());
    }
    // Back to playing: the next key plays its new note.
    EXPECT_TRUE(m().handleKeyEvent(keyDown(49)));
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{79});
}

TEST_F(KeyRemapping, EscapeCancelsWhileRepeatsAndModifierKeysKeepWaiting) {
    m().selectMapping(3);
    for (std::uint16_t code = 54; code <= 62; ++code) {
        EXPECT_TRUE(m().handleKeyEvent(keyDown(code))) << code;
    }
    EXPECT_TRUE(m().handleKeyEvent(keyDown(12, 0, true, "q")));
    EXPECT_EQ(m().mappingTarget(), 3);
    EXPECT_EQ(m().bindings(), defaultBindings());
    // Super plus a key belongs to the desktop: not handled at all.
    EXPECT_FALSE(m().handleKeyEvent(keyDown(12, modifier::command, false, "q")));
    EXPECT_EQ(m().mappingTarget(), 3);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(53)));
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_TRUE(m().mappingOpen());
    EXPECT_EQ(m().notice(), "割り当て変更をキャンセルしました");
    EXPECT_EQ(m().bindings(), defaultBindings());
    EXPECT_EQ(saves(), 0);
}

TEST_F(KeyRemapping, CaptureWorksWhileRecordingAndPlayingAndKeyUpsStillStopNotes) {
    m().toggleRecording();
    m().handleKeyEvent(keyDown(0));
    m().selectMapping(5);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(12, 0, false, "q")));
    EXPECT_EQ(m().bindings()[5], (KeyBinding{12, "Q"}));
    m().selectMapping(6);
    EXPECT_TRUE(m().handleKeyEvent(keyUp(0)));
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(m().recordedNotes().size(), 1U);
}

TEST_F(KeyRemapping, ResetRestoresTheFactoryLayoutAndClosingDropsTheCapture) {
    m().selectMapping(0);
    m().handleKeyEvent(keyDown(12, 0, false, "q"));
    m().selectMapping(4);
    m().resetBindings();
    EXPECT_EQ(m().bindings(), defaultBindings());
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_TRUE(m().mappingOpen());
    EXPECT_EQ(m().notice(), "標準のキー配置へ戻しました");

    m().selectMapping(4);
    m().setMappingOpen(false);
    EXPECT_FALSE(m().mappingOpen());
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0))); // plays again
    m().setMappingOpen(true);
    EXPECT_TRUE(m().mappingOpen());
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
}

} // namespace
} // namespace tunescrib::testing
