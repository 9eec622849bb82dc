#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
    f.m().handleKeyEvent(keyDown(0));
    EXPECT_EQ(f.m().currentDetails(), (NoteDetails{"C4", "ド"}));
    EXPECT_THAT(seen, ElementsAre(Property::activeMidis, Property::lastMidi, Property::notice));
    second.reset();
    f.m().handleKeyEvent(keyUp(0));
    EXPECT_EQ(seen.size(), 3U);
    EXPECT_EQ(f.notifications.back(), Property::activeMidis);
}

} // namespace
} // namespace tunescrib::testing
