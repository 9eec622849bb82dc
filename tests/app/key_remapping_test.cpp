#include "app_fixture.h"

#include "model/preferences.h"

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

struct KeyRemapping : ::testing::Test, AppFixture {
    void SetUp() override { start(); }
};

TEST_F(KeyRemapping, ChoosingANoteWaitsForAKeyNamedAtTheSoundingPitch) {
    m().changeTransposition(-1);
    m().selectMapping(0);
    EXPECT_TRUE(m().mappingOpen());
    EXPECT_EQ(m().mappingTarget(), 0);
    EXPECT_EQ(m().notice(), "B3 の割り当て待ち");
    m().selectMapping(19); // replaces the pending choice
    for (const std::int64_t outside : {std::int64_t{-1}, std::int64_t{20}, INT64_MIN}) {
        m().selectMapping(outside);
    }
    EXPECT_EQ(m().mappingTarget(), 19);
}

// Which bindings change is the assignment rule's own test; here the notice, the label
// taken from the key, the save and that a capture plays nothing.
TEST_F(KeyRemapping, ACapturedKeyIsAssignedOrSwappedAndSaved) {
    struct Case {
        std::uint16_t code;
        const char* characters;
        std::int64_t target;
        const char* notice;
        KeyBinding binding;
    };
    for (const auto& c : {Case{13, "w", 0, "C4 と別のキーを入れ替えました", {13, "W"}},
                          Case{12, "q", 0, "C4 のキーを変更しました", {12, "Q"}},
                          Case{49, " ", 19, "G5 のキーを変更しました", {49, "SPACE"}}}) {
        m().resetBindings();
        m().selectMapping(c.target);
        EXPECT_TRUE(m().handleKeyEvent(keyDown(c.code, modifier::shift, false, c.characters)));
        EXPECT_EQ(m().notice(), c.notice);
        EXPECT_EQ(m().bindings()[static_cast<std::size_t>(c.target)], c.binding);
        EXPECT_EQ(m().mappingTarget(), std::nullopt);
        EXPECT_TRUE(m().mappingOpen());
        EXPECT_THAT(m().activeMidis(), IsEmpty());
        EXPECT_EQ(decodePreferences(store.entries.at(std::string(preferencesKey)))->bindings,
                  m().bindings());
    }
    // Back to playing: the key plays its new note.
    EXPECT_TRUE(m().handleKeyEvent(keyDown(49)));
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{79});
}

TEST_F(KeyRemapping, EscapeCancelsWhileRepeatsAndModifierKeysKeepWaiting) {
    m().selectMapping(3);
    for (std::uint16_t code = 54; code <= 62; ++code) {
        EXPECT_TRUE(m().handleKeyEvent(keyDown(code))) << code;
    }
    EXPECT_TRUE(m().handleKeyEvent(keyDown(12, 0, true, "q")));
    // Super plus a key belongs to the desktop: not handled at all.
    EXPECT_FALSE(m().handleKeyEvent(keyDown(12, modifier::command, false, "q")));
    EXPECT_EQ(m().mappingTarget(), 3);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(53)));
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_TRUE(m().mappingOpen());
    EXPECT_EQ(m().notice(), "割り当て変更をキャンセルしました");
    EXPECT_EQ(saves(), 0);
}

// The key-up stops the note its key-down started, also when that key now has no note.
TEST_F(KeyRemapping, AHeldKeyRemappedWhileRecordingStillStopsItsNote) {
    m().toggleRecording();
    m().handleKeyEvent(keyDown(0));
    m().selectMapping(0);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(12, 0, false, "q")));
    EXPECT_EQ(m().bindings()[0], (KeyBinding{12, "Q"}));
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
    EXPECT_EQ(m().notice(), "標準のキー配置へ戻しました");

    m().selectMapping(4);
    m().setMappingOpen(false);
    EXPECT_FALSE(m().mappingOpen());
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0))); // plays again
    m().setMappingOpen(true);
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
}

} // namespace
} // namespace tunescrib::testing
