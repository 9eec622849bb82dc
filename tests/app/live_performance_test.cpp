#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

struct LivePerformance : ::testing::Test, AppFixture {
    void SetUp() override { start(); }
};

TEST_F(LivePerformance, AMappedKeyPlaysItsNoteOnceWhateverTheRepeats) {
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0)));
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(m().handleKeyEvent(keyDown(0, 0, true)));
    }
    EXPECT_THAT(heldVoices(), ElementsAre("keyboard:0"));
    EXPECT_EQ(voice("keyboard:0")->midi, 60);
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    EXPECT_EQ(m().lastMidi(), 60);
    EXPECT_EQ(m().notice(), "C4 / ド");
    EXPECT_EQ(m().currentDetails(), (NoteDetails{"C4", "ド"}));
    EXPECT_TRUE(m().isActive(0));
    EXPECT_FALSE(m().isActive(12));

    EXPECT_TRUE(m().handleKeyEvent(keyUp(0)));
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_TRUE(voice("keyboard:0")->isReleasing);
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    EXPECT_EQ(m().lastMidi(), 60);
    EXPECT_FALSE(m().handleKeyEvent(keyUp(0))); // nothing left to stop
}

TEST_F(LivePerformance, OnlyControlAltAndSuperRefuseAKeyDown) {
    struct Case {
        const char* what;
        std::uint64_t flags;
        bool plays;
    };
    for (const auto& c :
         {Case{"none", 0, true}, Case{"Shift", modifier::shift, true},
          Case{"Caps Lock", modifier::capsLock, true}, Case{"keypad", modifier::numericPad, true},
          Case{"Control", modifier::control, false}, Case{"Alt", modifier::option, false},
          Case{"Super", modifier::command, false},
          Case{"Shift+Control", modifier::shift | modifier::control, false}}) {
        EXPECT_EQ(m().handleKeyEvent(keyDown(1, c.flags)), c.plays) << c.what;
        EXPECT_EQ(m().isActive(2), c.plays) << c.what;
        m().handleKeyEvent(keyUp(1));
    }
}

TEST_F(LivePerformance, UnmappedAndModifierKeysAreNotPlayed) {
    for (const std::uint16_t code : {12, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 999}) {
        EXPECT_FALSE(m().handleKeyEvent(keyDown(code))) << code;
        EXPECT_FALSE(m().handleKeyEvent(keyUp(code))) << code;
    }
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(m().notice(), "入力待ち");
}

TEST_F(LivePerformance, AKeyUpStopsItsNoteWhateverModifiersAreHeld) {
    for (const std::uint64_t flags :
         {modifier::control, modifier::option, modifier::command, modifier::shift}) {
        ASSERT_TRUE(m().handleKeyEvent(keyDown(0)));
        EXPECT_TRUE(m().handleKeyEvent(keyUp(0, flags))) << flags;
        EXPECT_THAT(heldVoices(), IsEmpty()) << flags;
        EXPECT_THAT(m().activeMidis(), IsEmpty()) << flags;
    }
}

TEST_F(LivePerformance, TheReleaseHalfOfAnAutoRepeatKeepsTheNote) {
    ASSERT_TRUE(m().handleKeyEvent(keyDown(0)));
    EXPECT_TRUE(m().handleKeyEvent(keyUp(0, 0, true)));
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0, 0, true)));
    EXPECT_THAT(heldVoices(), ElementsAre("keyboard:0"));
    EXPECT_TRUE(m().handleKeyEvent(keyUp(0)));
    EXPECT_THAT(heldVoices(), IsEmpty());
}

TEST_F(LivePerformance, AKeyAndThePointerOnOneNoteAreCountedApart) {
    m().handleKeyEvent(keyDown(0));
    m().startSource(0, "pointer:0");
    m().startSource(0, "pointer:0"); // already live: nothing
    EXPECT_THAT(heldVoices(), UnorderedElementsAre("keyboard:0", "pointer:0"));
    m().stopSource("pointer:0");
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    m().stopSource("pointer:0");
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    m().handleKeyEvent(keyUp(0));
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    m().stopSource("pointer:7"); // never started
    EXPECT_THAT(m().activeMidis(), IsEmpty());
}

TEST_F(LivePerformance, AKeyUpAfterARemapStopsTheVoiceItsKeyDownStarted) {
    m().handleKeyEvent(keyDown(0));
    m().selectMapping(0);
    ASSERT_TRUE(m().handleKeyEvent(keyDown(12, 0, false, "q")));
    m().closeMapping();
    EXPECT_TRUE(m().handleKeyEvent(keyUp(0)));
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_THAT(m().activeMidis(), IsEmpty());
}

TEST_F(LivePerformance, LosingFocusReleasesEveryHeldSource) {
    m().handleKeyEvent(keyDown(0));
    m().handleKeyEvent(keyDown(1));
    m().startSource(19, "pointer:19");
    m().applicationDidResignActive();
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(engine->voices().size(), 3U); // fading, not cut
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    // The keys are still physically down: repeats do nothing, key-ups are not used.
    EXPECT_TRUE(m().handleKeyEvent(keyDown(0, 0, true)));
    EXPECT_FALSE(m().handleKeyEvent(keyUp(0)));
    EXPECT_THAT(heldVoices(), IsEmpty());
}

TEST_F(LivePerformance, ReadoutsFollowOctaveAndTransposition) {
    EXPECT_EQ(m().rangeStart(), "C4");
    EXPECT_EQ(m().rangeEnd(), "G5");
    EXPECT_EQ(m().currentDetails(), std::nullopt);
    m().changeOctave(-1);
    m().changeTransposition(2);
    EXPECT_EQ(m().rangeStart(), "D3");
    EXPECT_EQ(m().rangeEnd(), "A4");
    EXPECT_EQ(m().midiFor(0), 50);
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
