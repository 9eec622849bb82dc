#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

struct LivePerformance : ::testing::Test, AppFixture {
    void SetUp() override { start(); }
};

// X11 sends auto-repeat as flagged release+press pairs: one note from the first press to
// the real release.
TEST_F(LivePerformance, AKeyPlaysOneNoteThroughItsAutoRepeats) {
    EXPECT_EQ(m().notice(), "入力待ち");
    EXPECT_EQ(m().currentDetails(), std::nullopt);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0)));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(m().handleKeyEvent(keyUp(0, 0, true)));
        EXPECT_TRUE(m().handleKeyEvent(keyDown(0, 0, true)));
    }
    EXPECT_THAT(heldVoices(), ElementsAre("keyboard:0"));
    EXPECT_EQ(voice("keyboard:0")->midi, 60);
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    EXPECT_EQ(m().notice(), "C4 / ド");
    EXPECT_EQ(m().currentDetails(), (NoteDetails{"C4", "ド"}));

    EXPECT_TRUE(m().handleKeyEvent(keyUp(0)));
    EXPECT_TRUE(voice("keyboard:0")->isReleasing);
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    EXPECT_EQ(m().lastMidi(), 60);
    EXPECT_FALSE(m().handleKeyEvent(keyUp(0))); // nothing left to stop
}

// Control, Alt and Super make a key press a shortcut; Shift, Caps Lock and the keypad not.
TEST_F(LivePerformance, OnlyMappedKeysWithoutShortcutModifiersPlay) {
    struct Case {
        const char* what;
        std::uint16_t code;
        std::uint64_t flags;
        bool plays;
    };
    for (const auto& c :
         {Case{"plain", 1, 0, true}, Case{"Shift", 1, modifier::shift, true},
          Case{"Caps Lock", 1, modifier::capsLock, true},
          Case{"keypad", 1, modifier::numericPad, true},
          Case{"Control", 1, modifier::control, false}, Case{"Alt", 1, modifier::option, false},
          Case{"Super", 1, modifier::command, false},
          Case{"Shift+Control", 1, modifier::shift | modifier::control, false},
          Case{"unmapped", 12, 0, false}}) {
        EXPECT_EQ(m().handleKeyEvent(keyDown(c.code, c.flags)), c.plays) << c.what;
        EXPECT_EQ(m().activeMidis().size(), c.plays ? 1U : 0U) << c.what;
        EXPECT_EQ(m().handleKeyEvent(keyUp(c.code)), c.plays) << c.what;
    }
}

TEST_F(LivePerformance, AKeyAndThePointerOnOneNoteAreCountedApart) {
    m().handleKeyEvent(keyDown(0));
    m().startSource(0, "pointer:0");
    m().startSource(0, "pointer:0"); // already sounding: nothing
    EXPECT_THAT(heldVoices(), UnorderedElementsAre("keyboard:0", "pointer:0"));
    m().stopSource("pointer:0");
    m().stopSource("pointer:0");
    m().stopSource("pointer:7"); // never started
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    m().handleKeyEvent(keyUp(0));
    EXPECT_THAT(m().activeMidis(), IsEmpty());
}

TEST_F(LivePerformance, LosingFocusFadesEveryHeldSourceAndItsKeysStayQuiet) {
    m().handleKeyEvent(keyDown(0));
    m().startSource(19, "pointer:19");
    m().applicationDidResignActive();
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(engine->voices().size(), 2U); // fading, not cut
    // The key is still physically down: its repeats and its release are not used.
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0, 0, true)));
    EXPECT_FALSE(m().handleKeyEvent(keyUp(0)));
    EXPECT_THAT(heldVoices(), IsEmpty());
}

TEST_F(LivePerformance, EveryAssignmentIsObservedEvenWithoutChangeUntilUnsubscribed) {
    notifications.clear();
    m().closeMapping();
    EXPECT_THAT(notifications, ElementsAre(Property::mappingOpen, Property::mappingTarget));

    std::vector<Property> seen;
    Subscription second = m().subscribe([&](Property p) { seen.push_back(p); });
    m().handleKeyEvent(keyDown(0));
    EXPECT_THAT(seen, ElementsAre(Property::activeMidis, Property::lastMidi, Property::notice));
    second.reset();
    m().handleKeyEvent(keyUp(0));
    EXPECT_EQ(seen.size(), 3U);
    EXPECT_EQ(notifications.back(), Property::activeMidis);
}

} // namespace
} // namespace tunescrib::testing
