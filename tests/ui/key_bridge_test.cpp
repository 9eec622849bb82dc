// The key-event bridge in the real window: physical keys reach the model first, played
// keys never reach a shortcut, repeats never retrigger, focus loss silences held keys.

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

TEST_F(KeyBridge, MappedKeysLightTheirKeysAndNameTheLastNoteUntilReleased) {
    press(keyA);
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"keyboard:0"});
    EXPECT_EQ(read("noteName", "text").toString(), "C4");
    EXPECT_EQ(read("solfege", "text").toString(), "ド");
    EXPECT_EQ(read("notice", "text").toString(), "C4 / ド");
    press(keyD);
    press(keyG);
    for (const char* name : {"key0", "key4", "key7"}) {
        EXPECT_TRUE(read(name, "active").toBool()) << name;
    }
    EXPECT_EQ(read("noteName", "text").toString(), "G4");
    screenshot("chord-lit");

    for (const auto& key : {keyA, keyD, keyG}) {
        release(key);
    }
    EXPECT_TRUE(heldVoices().empty());
    EXPECT_FALSE(read("key0", "active").toBool());
    EXPECT_EQ(read("noteName", "text").toString(), "G4"); // the last note stays shown
}

TEST_F(KeyBridge, PlayedKeysNeverFireAShortcutAndOthersGoOnToNormalDispatch) {
    struct Case {
        PhysicalKey key;
        Qt::KeyboardModifiers modifiers;
        QKeySequence shortcut;
        bool plays;
    };
    const Case cases[] = {
        {keyA, Qt::NoModifier, QKeySequence(Qt::Key_A), true},
        {keyA, Qt::ShiftModifier, QKeySequence(Qt::SHIFT | Qt::Key_A), true},
        {keyQ, Qt::NoModifier, QKeySequence(Qt::Key_Q), false},
        {keyA, Qt::ControlModifier, QKeySequence(Qt::CTRL | Qt::Key_A), false},
        {keyA, Qt::AltModifier, QKeySequence(Qt::ALT | Qt::Key_A), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shortcut.toString().toStdString());
        QShortcut shortcut(c.shortcut, &window());
        QSignalSpy fired(&shortcut, &QShortcut::activated);
        press(c.key, c.modifiers);
        EXPECT_EQ(fired.count(), c.plays ? 0 : 1);
        EXPECT_EQ(!heldVoices().empty(), c.plays);
        release(c.key, c.modifiers);
        EXPECT_TRUE(heldVoices().empty());
    }
}

TEST_F(KeyBridge, AutoRepeatOfAHeldKeyNeitherStopsNorRetriggersIt) {
    for (const auto form : {Repeat::bare, Repeat::flaggedPair}) {
        SCOPED_TRACE(form == Repeat::bare ? "bare presses" : "flagged pairs");
        press(keyA);
        app.notifications.clear();
        for (int i = 0; i < 20; ++i) {
            autoRepeat(keyA, form);
        }
        EXPECT_EQ(std::ranges::count(app.notifications, Property::activeMidis), 0)
            << "a repeat stopped or restarted the note";
        EXPECT_EQ(heldVoices(), std::vector<std::string>{"keyboard:0"});
        release(keyA);
        EXPECT_TRUE(heldVoices().empty());
    }
}

// Whatever silences a held key, its repeats (unflagged, as X11 sends them when asked for
// detectable auto-repeat) must not start it again; pressed anew it plays the new note.
TEST_F(KeyBridge, AKeySilencedWhileHeldStaysSilentUntilPressedAgain) {
    m().toggleRecording();
    press(keyS);
    release(keyS);
    m().toggleRecording();
    struct Case {
        const char* silencing;
        std::function<void()> silence;
        std::function<void()> undo;
        std::int64_t midiPressedAgain;
    };
    const Case cases[] = {
        {"octave +", [&] { m().changeOctave(+1); }, [&] { m().changeOctave(-1); }, 72},
        {"transposition", [&] { m().changeTransposition(2); }, [&] { m().changeTransposition(0); },
         62},
        {"timbre", [&] { m().setSoundMode(SoundMode::sine); },
         [&] { m().setSoundMode(SoundMode::piano); }, 60},
        // The take holds only the new press, not the silenced one.
        {"record", [&] { m().toggleRecording(); }, [&] { m().toggleRecording(); }, 60},
        {"play", [&] { m().playRecording(); }, [&] { m().stopPlayback(); }, 60},
        {"focus lost and back, key held throughout",
         [&] {
             setApplicationActive(false);
             setApplicationActive(true);
         },
         [] {}, 60},
    };
    const auto keyASounds = [&] { return std::ranges::count(heldVoices(), "keyboard:0"); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.silencing);
        press(keyA);
        c.silence();
        for (int i = 0; i < 20; ++i) {
            autoRepeat(keyA);
        }
        EXPECT_EQ(keyASounds(), 0) << "a repeat restarted the silenced key";
        release(keyA);
        press(keyA);
        EXPECT_EQ(keyASounds(), 1) << "pressed anew, the key did not play";
        EXPECT_EQ(m().lastMidi(), c.midiPressedAgain);
        release(keyA);
        c.undo();
        EXPECT_EQ(m().recordedNotes().size(), 1U);
    }
}

TEST_F(KeyBridge, AKeyHeldForACaptureIsNoChoiceAndTheCapturedKeyDoesNotPlayWhileHeld) {
    press(keyA);
    m().selectMapping(2);
    for (int i = 0; i < 5; ++i) {
        autoRepeat(keyA);
    }
    EXPECT_EQ(m().mappingTarget(), 2) << "a repeat of a held key was taken as the choice";
    release(keyA);
    press(keyQ);
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_EQ(m().bindings()[2].label, "Q");
    for (int i = 0; i < 5; ++i) {
        autoRepeat(keyQ);
    }
    EXPECT_TRUE(heldVoices().empty()) << "the captured key played while still held";
    release(keyQ);
    press(keyQ);
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"keyboard:12"});
    release(keyQ);
}

TEST_F(KeyBridge, EveryLossOfFocusStopsHeldKeysButAPopupInsideTheWindowIsNone) {
    press(keyA);
    press(keyD);
    m().setMappingOpen(true);
    EXPECT_TRUE(read("keyMapPanel", "visible").toBool());
    EXPECT_EQ(heldVoices().size(), 2U) << "the panel silenced held keys";
    m().setMappingOpen(false);
    releaseElsewhere(keyD);
    for (int loss = 0; loss < 2; ++loss) {
        SCOPED_TRACE(loss);
        setApplicationActive(false);
        EXPECT_TRUE(heldVoices().empty());
        EXPECT_FALSE(read("key0", "active").toBool());
        // The key-ups went to another application; the next press plays again.
        releaseElsewhere(keyA);
        setApplicationActive(true);
        press(keyA);
        EXPECT_EQ(heldVoices(), std::vector<std::string>{"keyboard:0"});
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
    EXPECT_TRUE(heldVoices().empty());
    EXPECT_EQ(app.scheduler.pendingCount(), 0U);
}

} // namespace
} // namespace tunescrib::testing
