// The on-screen keyboard under the pointer: a press plays at once, black keys first where
// they lie over white ones, the pressed key keeps the pointer while it moves, and the note
// stops however the press ends.

#include "window_fixture.h"

namespace tunescrib::testing {
namespace {

class Pointer : public WindowFixture {
protected:
    void SetUp() override { open(); }
    // A point of the keyboard by fraction of its size.
    QPointF at(double x, double y) { return pointIn(item("pianoKeyboard"), {x, y}); }
};

TEST_F(Pointer, APressPlaysAtOnceAndKeepsItsKeyUntilAReleaseAnywhere) {
    pointerPress(at(0.5 / 12, 0.9)); // low on C, below the black keys
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"pointer:0"});
    EXPECT_TRUE(read("key0", "active").toBool());
    for (int index = 1; index < 12; ++index) {
        QTest::mouseMove(&window(), at((index + 0.5) / 12, 0.9).toPoint());
    }
    QTest::mouseMove(&window(), {-40, -40});
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"pointer:0"});
    pointerRelease({-40, -40});
    EXPECT_TRUE(heldVoices().empty());
    EXPECT_FALSE(read("key0", "active").toBool());
}

TEST_F(Pointer, ABlackKeyWinsOverTheWhiteKeyBeneathAndACancelledGrabCountsAsTheRelease) {
    pointerPress(at(1.1 / 12, 0.2)); // C sharp, over the left edge of D
    ASSERT_EQ(heldVoices(), std::vector<std::string>{"pointer:1"});
    EXPECT_TRUE(read("key1", "active").toBool());
    QQuickItem* grabber = window().mouseGrabberItem();
    ASSERT_NE(grabber, nullptr);
    grabber->ungrabMouse();
    EXPECT_TRUE(heldVoices().empty());
    pointerRelease(at(1.1 / 12, 0.2));
}

} // namespace
} // namespace tunescrib::testing
