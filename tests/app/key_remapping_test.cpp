#include "app_fixture.h"

#include "model/preferences.h"

namespace tunescrib::testing {
namespace {

// Choosing a note names it at the sounding pitch and waits for a key: Escape cancels,
// repeats and modifier keys keep waiting, Super plus a key belongs to the desktop.
TEST(KeyRemapping, ChoosingANoteWaitsForAKeyUntilCancelledResetOrClosed) {
    AppFixture::expectAfter({
        {"tr:-1 map:0", "open=1 target=0", "B3 の割り当て待ち"},
        {"map:0 map:19 map:-1 map:20 map:-9223372036854775808", "target=19"},
        {"map:3 d54 d55 d56 d57 d58 d59 d60 d61 d62", "handled=1 target=3"},
        {"map:3 r12", "handled=1 target=3 key0=0"},
        {"map:3 d12+super", "handled=0 target=3"},
        {"map:3 d53", "handled=1 target=- open=1 saves=0", "割り当て変更をキャンセルしました"},
        // The key-up stops the note its key-down started, also when that key has no note.
        {"rec d0 map:0 d12 map:6 u0", "handled=1 held= key0=12 take=60@0+0.07"},
        {"map:0 d12 map:4 reset", "key0=0 target=- saves=2", "標準のキー配置へ戻しました"},
        {"map:4 close d0", "open=0 target=- handled=1 held=60p"},
        {"map:4 close open", "open=1 target=-"},
    });
}

// Which bindings change is the assignment rule's own test; here the notice, the label
// taken from the key, the save and that a capture plays nothing.
TEST(KeyRemapping, ACapturedKeyIsAssignedOrSwappedAndSaved) {
    AppFixture f;
    f.start();
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
        f.run("reset map:" + std::to_string(c.target));
        EXPECT_TRUE(f.m().handleKeyEvent(keyDown(c.code, modifier::shift, false, c.characters)));
        f.expectState("target=- open=1 lit=", c.notice, c.characters);
        EXPECT_EQ(f.m().bindings()[static_cast<std::size_t>(c.target)], c.binding);
        EXPECT_EQ(decodePreferences(f.store.entries.at(std::string(preferencesKey)))->bindings,
                  f.m().bindings());
    }
    f.run("d49"); // back to playing: the key plays its new note
    f.expectState("lit=79", std::nullopt, "d49");
}

} // namespace
} // namespace tunescrib::testing
