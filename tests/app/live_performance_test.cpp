#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

// X11 sends auto-repeat as flagged release+press pairs: one note from the first press to
// the real release. A key and the pointer on one note are counted apart. Focus loss fades
// every held source, and a key still down stays quiet until pressed anew.
TEST(LivePerformance, KeysAndThePointerSoundWhileHeldAndFocusLossReleasesThem) {
    AppFixture::expectAfter({
        {"", "lit= last=-", "入力待ち"},
        {"d0 R0 r0 R0 r0 R0 r0", "handled=1 held=60p lit=60", "C4 / ド"},
        {"d0 R0 r0 u0", "handled=1 held= fading=1 lit= last=60"},
        {"d0 u0 u0", "handled=0"}, // nothing left to stop
        {"d0 p0 p0", "held=60p,60p lit=60"},
        {"d0 p0 p0 x0 x0 x7", "held=60p lit=60"},
        {"d0 p0 x0 u0", "held= lit="},
        {"d0 p19 blur", "held= fading=2 lit="},
        {"d0 p19 blur r0", "handled=1 held="},
        {"d0 p19 blur r0 u0", "handled=0"},
    });
}

// Control, Alt and Super make a key press a shortcut; Shift, Caps Lock and the keypad not.
TEST(LivePerformance, OnlyMappedKeysWithoutShortcutModifiersPlay) {
    AppFixture::expectAfter({
        {"d1", "handled=1 lit=62"},
        {"d1+shift", "handled=1 lit=62"},
        {"d1+caps", "handled=1 lit=62"},
        {"d1+pad", "handled=1 lit=62"},
        {"d1+shift u1+ctrl", "handled=1 lit="}, // a note must not outlive its key
        {"d1+ctrl", "handled=0 lit="},
        {"d1+alt", "handled=0 lit="},
        {"d1+super", "handled=0 lit="},
        {"d1+shift+ctrl", "handled=0 lit="},
        {"d1+ctrl u1", "handled=0"},
        {"d12", "handled=0 lit="}, // unmapped
    });
}

TEST(LivePerformance, EveryAssignmentIsObservedEvenWithoutChangeUntilUnsubscribed) {
    AppFixture f;
    f.start();
    f.m().closeMapping();
    EXPECT_THAT(f.notifications, ElementsAre(Property::mappingOpen, Property::mappingTarget));
    std::vector<Property> seen;
    Subscription second = f.m().subscribe([&](Property p) { seen.push_back(p); });
    EXPECT_EQ(f.m().currentDetails(), std::nullopt);
    f.run("d0");
    EXPECT_EQ(f.m().currentDetails(), (NoteDetails{"C4", "ド"}));
    EXPECT_THAT(seen, ElementsAre(Property::activeMidis, Property::lastMidi, Property::notice));
    second.reset();
    f.run("u0");
    EXPECT_EQ(seen.size(), 3U);
    EXPECT_EQ(f.notifications.back(), Property::activeMidis);
    f.run("rec d1");
    f.notifications.clear();
    f.run("u1");
    EXPECT_THAT(f.notifications, Contains(Property::recordedNotes)); // the timeline follows
}

// Without a sound server the program works silently and says so; a server that comes
// later is tried again by a note after a pause; a device that cannot restart takes no note.
TEST(AudioFailure, NotesWithoutSoundAreKeptOrRefusedAndTheStatusSaysWhy) {
    const char* noStart = "音声出力を開始できません";
    const char* noRestart = "音声出力を再開できません";
    const std::string take = "rec d0 +0.5 d1 +0.5 u0 u1 rec play +0.1 ";
    AppFixture::expectAfter({
        {"nosound", "err=Pulse:_connection_refused synth=0", noStart},
        {"nosound rec d0", "handled=1 lit=60", noStart}, // no note was heard
        {"nosound rec d0 +0.4 u0 rec play +0.1", "lit=60"},
        {"nosound rec d0 +0.4 u0 rec play +1.1", "lit= play=0", "再生完了"},
        {"nosound serverup d0 u0", "synth=0"}, // too soon after the failed start
        {"nosound serverup d0 u0 +3 d1", "synth=1 held=62p", "D4 / レ"},
        {"break d0", "handled=1 lit= last=- err=Pulse:_server_gone", noRestart},
        {"break d0 u0", "handled=0"},
        {"break p3", "lit= held="},
        {take, "held=60p"},
        {take + "break +0.5", "play=0 steps=0 held= err=Pulse:_server_gone", noRestart},
    });
}

} // namespace
} // namespace tunescrib::testing
