// The on-screen keyboard under the pointer: a press plays at once, the pressed key keeps
// the pointer while it moves, and the note stops however the press ends.

#include "window_fixture.h"

#include <QAccessible>

namespace tunescrib::testing {
namespace {

class Pointer : public WindowFixture {
protected:
    void SetUp() override {
        open();
        keyboard = item("pianoKeyboard");
        ASSERT_NE(keyboard, nullptr);
    }
    // A point of the keyboard by fraction of its size.
    QPointF at(double x, double y) { return pointIn(keyboard, {x, y}); }
    // The middle of white key `index`, low enough to miss the black keys.
    QPointF whiteKey(int index) { return at((index + 0.5) / 12.0, 0.9); }

    QQuickItem* keyboard = nullptr;
};

TEST_F(Pointer, APressPlaysAtOnceAndKeepsItsKeyUntilAReleaseAnywhere) {
    pointerPress(whiteKey(0));
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"pointer:0"});
    EXPECT_TRUE(read("key0", "active").toBool());
    for (int index = 1; index < 12; ++index) {
        pointerMove(whiteKey(index));
    }
    pointerMove({-40, -40});
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"pointer:0"});
    pointerRelease({-40, -40});
    EXPECT_TRUE(heldVoices().empty());
    EXPECT_FALSE(read("key0", "active").toBool());
}

TEST_F(Pointer, ACancelledGrabCountsAsTheRelease) {
    pointerPress(whiteKey(3));
    ASSERT_EQ(heldVoices(), std::vector<std::string>{"pointer:5"});
    QQuickItem* grabber = window().mouseGrabberItem();
    ASSERT_NE(grabber, nullptr);
    grabber->ungrabMouse();
    EXPECT_TRUE(heldVoices().empty());
    pointerRelease(whiteKey(3));
}

TEST_F(Pointer, KeysFollowOctaveTranspositionAndKeyMap) {
    EXPECT_EQ(read("key0", "noteName").toString(), "C4");
    m().changeOctave(1);
    EXPECT_EQ(read("key0", "noteName").toString(), "C5");
    m().changeTransposition(-1);
    EXPECT_EQ(read("key0", "noteName").toString(), "B4");
    EXPECT_EQ(read("key1", "noteName").toString(), "C5");
    m().selectMapping(0);
    press(keyQ);
    release(keyQ);
    EXPECT_EQ(accessibleName("key0"), "B4 シ Q");
    QAccessibleInterface* key = QAccessible::queryAccessibleInterface(item("key0"));
    EXPECT_EQ(key->role(), QAccessible::Button);
    EXPECT_FALSE(key->state().pressed);
    press(keyQ);
    EXPECT_TRUE(key->state().pressed) << "a lit key is announced as pressed";
    release(keyQ);
}

} // namespace
} // namespace tunescrib::testing
