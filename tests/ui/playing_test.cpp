// Playing: physical keys reach the model first through the key-event bridge, played keys
// never reach a shortcut, repeats never retrigger, focus loss silences held keys. On the
// on-screen keyboard a press plays at once, black keys first where they lie over white
// ones, the pressed key keeps the pointer while it moves, and however the press ends the
// note stops.

#include "window_fixture.h"

#include <QShortcut>
#include <QSignalSpy>

#include <algorithm>
#include <functional>

namespace tunescrib::testing {
namespace {

class KeyBridge : public WindowFixture {
protected:
    void SetUp() override { open(); }
};

TEST_F(KeyBridge, PlayedKeysNeverFireAShortcutAndOthersGoOnToNormalDispatch) {
    struct Case {
        PhysicalKey key;
        Qt::KeyboardModifiers modifiers;
        bool plays;
    };
    const Case cases[] = {
        {keyA, Qt::NoModifier, true},   {keyA, Qt::ShiftModifier, true},
        {keyQ, Qt::NoModifier, false},  {keyA, Qt::ControlModifier, false},
        {keyA, Qt::AltModifier, false},
    };
    for (const auto& c : cases) {
        const QKeySequence sequence(c.modifiers | c.key.key);
        SCOPED_TRACE(sequence.toString().toStdString());
        QShortcut shortcut(sequence, &window());
        QSignalSpy fired(&shortcut, &QShortcut::activated);
        press(c.key, c.modifiers);
        EXPECT_EQ(fired.count(), c.plays ? 0 : 1);
        EXPECT_EQ(!app.heldVoices().empty(), c.plays);
        release(c.key, c.modifiers);
        EXPECT_TRUE(app.heldVoices().empty());
    }
}

// A held key's repeats, bare (X11 with detectable auto-repeat) or flagged release + press
// pairs, neither stop nor retrigger it; whatever silenced it, they do not start it again,
// and pressed anew it plays the new note.
TEST_F(KeyBridge, RepeatsNeverRetriggerAndASilencedKeyWaitsForANewPress) {
    m().toggleRecording();
    press(keyS);
    release(keyS);
    m().toggleRecording();
    struct Case {
        const char* silencing;
        std::function<void()> silence;
        std::function<void()> undo;
        Repeat form;
        std::int64_t midiPressedAgain;
    };
    const auto nothing = [] {};
    const Case cases[] = {
        {"nothing", nothing, nothing, Repeat::bare, 60},
        {"nothing, flagged repeats", nothing, nothing, Repeat::flaggedPair, 60},
        {"octave +", [&] { m().changeOctave(+1); }, [&] { m().changeOctave(-1); }, Repeat::bare,
         72},
        {"transposition", [&] { m().changeTransposition(2); }, [&] { m().changeTransposition(0); },
         Repeat::flaggedPair, 62},
        {"timbre", [&] { m().setSoundMode(SoundMode::sine); },
         [&] { m().setSoundMode(SoundMode::piano); }, Repeat::bare, 60},
        // The take holds only the new press, not the silenced one.
        {"record", [&] { m().toggleRecording(); }, [&] { m().toggleRecording(); },
         Repeat::flaggedPair, 60},
        {"play", [&] { m().playRecording(); }, [&] { m().stopPlayback(); }, Repeat::bare, 60},
        {"focus lost and back, key held throughout",
         [&] {
             setApplicationActive(false);
             setApplicationActive(true);
         },
         nothing, Repeat::bare, 60},
    };
    const auto keyASounds = [&] { return std::ranges::count(app.heldVoices(), "keyboard:0"); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.silencing);
        press(keyA);
        c.silence();
        const auto soundsBefore = keyASounds();
        app.notifications.clear();
        for (int i = 0; i < 20; ++i) {
            autoRepeat(keyA, c.form);
        }
        EXPECT_EQ(std::ranges::count(app.notifications, Property::activeMidis), 0)
            << "a repeat stopped or restarted the note";
        EXPECT_EQ(keyASounds(), soundsBefore);
        release(keyA);
        EXPECT_EQ(keyASounds(), 0);
        press(keyA);
        EXPECT_EQ(keyASounds(), 1) << "pressed anew, the key did not play";
        EXPECT_EQ(m().lastMidi(), c.midiPressedAgain);
        release(keyA);
        c.undo();
        EXPECT_EQ(m().recordedNotes().size(), 1U);
    }
}

TEST_F(KeyBridge, EveryLossOfFocusStopsHeldKeysButAPopupInsideTheWindowIsNone) {
    press(keyA);
    press(keyD);
    m().setMappingOpen(true);
    EXPECT_TRUE(read("keyMapPanel", "visible").toBool());
    EXPECT_EQ(app.heldVoices().size(), 2U) << "the panel silenced held keys";
    m().setMappingOpen(false);
    releaseElsewhere(keyD);
    for (int loss = 0; loss < 2; ++loss) {
        SCOPED_TRACE(loss);
        setApplicationActive(false);
        EXPECT_TRUE(app.heldVoices().empty());
        EXPECT_FALSE(read("key0", "active").toBool());
        // The key-ups went to another application; the next press plays again.
        releaseElsewhere(keyA);
        setApplicationActive(true);
        press(keyA);
        EXPECT_EQ(app.heldVoices(), std::vector<std::string>{"keyboard:0"});
    }
    release(keyA);
}

TEST_F(KeyBridge, ClosingTheWindowStopsEveryNoteAndThePlayback) {
    m().toggleRecording();
    press(keyA);
    app.clock.advance(0.5);
    release(keyA);
    m().toggleRecording();
    m().playRecording();
    press(keyS);
    ASSERT_TRUE(m().isPlaying());
    window().close();
    EXPECT_FALSE(m().isPlaying());
    EXPECT_TRUE(app.heldVoices().empty());
    EXPECT_EQ(app.scheduler.pendingCount(), 0U);
}

class Pointer : public WindowFixture {
protected:
    void SetUp() override { open(); }
    // A point of the keyboard by fraction of its size.
    QPointF at(double x, double y) { return pointIn(item("pianoKeyboard"), {x, y}); }
};

TEST_F(Pointer, APressPlaysAtOnceAndKeepsItsKeyUntilAReleaseAnywhere) {
    pointerPress(at(0.5 / 12, 0.9)); // low on C, below the black keys
    EXPECT_EQ(app.heldVoices(), std::vector<std::string>{"pointer:0"});
    EXPECT_TRUE(read("key0", "active").toBool());
    for (int index = 1; index < 12; ++index) {
        QTest::mouseMove(&window(), at((index + 0.5) / 12, 0.9).toPoint());
    }
    QTest::mouseMove(&window(), {-40, -40});
    EXPECT_EQ(app.heldVoices(), std::vector<std::string>{"pointer:0"});
    pointerRelease({-40, -40});
    EXPECT_TRUE(app.heldVoices().empty());
    EXPECT_FALSE(read("key0", "active").toBool());
}

TEST_F(Pointer, ABlackKeyWinsOverTheWhiteKeyBeneathAndACancelledGrabCountsAsTheRelease) {
    pointerPress(at(1.1 / 12, 0.2)); // C sharp, over the left edge of D
    ASSERT_EQ(app.heldVoices(), std::vector<std::string>{"pointer:1"});
    EXPECT_TRUE(read("key1", "active").toBool());
    QQuickItem* grabber = window().mouseGrabberItem();
    ASSERT_NE(grabber, nullptr);
    grabber->ungrabMouse();
    EXPECT_TRUE(app.heldVoices().empty());
    pointerRelease(at(1.1 / 12, 0.2));
}

} // namespace
} // namespace tunescrib::testing
