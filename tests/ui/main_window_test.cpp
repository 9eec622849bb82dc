// The main window's controls and readouts: transport and steppers enabled exactly when
// they may act, controls that never keep the keyboard's focus, the take on the timeline,
// the notice cut at two lines, and the window's sizes.

#include "window_fixture.h"

#include <QScreen>

#include <algorithm>

namespace tunescrib::testing {
namespace {

class MainWindowView : public WindowFixture {
protected:
    void SetUp() override { open(); }

    QQuickItem* button(const QString& stepper, const char* name) {
        QObject* control = object(stepper);
        QQuickItem* found = control != nullptr ? control->findChild<QQuickItem*>(name) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Plays the keys one after the other, a second each.
    void play(std::initializer_list<PhysicalKey> keys) {
        for (const auto& key : keys) {
            press(key);
            app.clock.advance(1);
            release(key);
        }
    }
};

TEST_F(MainWindowView, StartsWaitingWithNoTake) {
    EXPECT_EQ(window().title(), "Tunescrib");
    EXPECT_EQ(window().size(), QSize(1320, 820));
    EXPECT_EQ(window().minimumSize(), QSize(1050, 720));
    EXPECT_EQ(read("noteName", "text").toString(), "\u2014");
    EXPECT_EQ(read("solfege", "text").toString(), "入力待ち");
    EXPECT_EQ(read("takeSummary", "text").toString(), "0音 / 0.0秒");
    EXPECT_TRUE(read("timelineHint", "visible").toBool());
    EXPECT_FALSE(read("playButton", "enabled").toBool());
    EXPECT_FALSE(read("clearButton", "enabled").toBool());
    EXPECT_FALSE(read("exportButton", "enabled").toBool());
    EXPECT_EQ(read("deckRange", "text").toString(), "C4 \u2014 G5");
    screenshot("default");
}

TEST_F(MainWindowView, TheSoundSelectorShowsAndSetsTheTimbre) {
    click("sound-sine"); // the look test sees the selection move
    EXPECT_EQ(m().soundMode(), SoundMode::sine);
    EXPECT_EQ(accessibleName("sound-sine"), "サイン波音色にする");
}

// When each control may act is the view rules' own table; here, that each button follows
// its own rule, runs its own step, and runs nothing when disabled.
TEST_F(MainWindowView, SteppersFollowTheirLimitsAndStepTheirValues) {
    struct Case {
        std::int64_t transposition, octave;
        bool transposeDown, transposeReset, transposeUp, octaveDown, octaveUp;
        const char* stepper;
        const char* button;
        const char* value; // the stepper's value after the click
    };
    const char* const tr = "transpositionStepper";
    const char* const oct = "octaveStepper";
    const Case cases[] = {
        {0, 4, true, false, true, true, true, tr, "increment", "+1"},
        {12, 6, true, true, false, true, false, tr, "increment", "+12"}, // disabled
        {-12, 2, false, true, true, false, true, tr, "increment", "-11"},
        {-1, 5, true, true, true, true, true, tr, "reset", "0"},
        {1, 5, true, true, true, true, true, tr, "decrement", "0"},
        {0, 5, true, false, true, true, true, oct, "decrement", "4"},
        {-1, 4, true, true, true, true, true, oct, "increment", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.transposition << " " << c.octave);
        m().changeTransposition(c.transposition);
        m().changeOctave(c.octave - m().baseOctave());
        EXPECT_EQ(button(tr, "decrement")->isEnabled(), c.transposeDown);
        EXPECT_EQ(button(tr, "reset")->isEnabled(), c.transposeReset);
        EXPECT_EQ(button(tr, "increment")->isEnabled(), c.transposeUp);
        EXPECT_EQ(button(oct, "decrement")->isEnabled(), c.octaveDown);
        EXPECT_FALSE(button(oct, "reset")->isEnabled());
        EXPECT_EQ(button(oct, "increment")->isEnabled(), c.octaveUp);
        click(button(c.stepper, c.button));
        EXPECT_EQ(read(c.stepper, "value").toString(), c.value);
    }
    EXPECT_EQ(read(oct, "subtitle").toString(), "B4 \u2014 F♯6");
}

TEST_F(MainWindowView, RecordingShowsOnTheTransportAndTheTakeOnTheTimeline) {
    click("recordButton");
    EXPECT_TRUE(m().isRecording());
    EXPECT_EQ(read("recordButton", "text").toString(), "停止");
    EXPECT_TRUE(read("recordButton", "isActive").toBool());
    EXPECT_TRUE(read("clearButton", "enabled").toBool());
    press(keyA);
    screenshot("recording");
    app.clock.advance(1);
    release(keyA);
    play({keyS, keyD, keyG});
    EXPECT_FALSE(read("playButton", "enabled").toBool()) << "a take can play while recording";
    EXPECT_FALSE(read("exportButton", "enabled").toBool()) << "an unfinished take can be saved";
    click("recordButton");
    EXPECT_EQ(read("takeSummary", "text").toString(), "4音 / 4.0秒");
    EXPECT_FALSE(read("timelineHint", "visible").toBool());
    EXPECT_EQ(read("timelineTags", "take").value<QObject*>()->property("count").toInt(), 4);
    EXPECT_TRUE(read("playButton", "enabled").toBool());
    EXPECT_TRUE(read("exportButton", "enabled").toBool());
    screenshot("take-on-timeline");

    click("playButton");
    EXPECT_EQ(read("playButton", "text").toString(), "再生中");
    EXPECT_FALSE(read("exportButton", "enabled").toBool());
    app.scheduler.advance(0.01);
    EXPECT_TRUE(read("key0", "active").toBool());
    app.scheduler.advance(5);
    EXPECT_EQ(read("playButton", "text").toString(), "再生");
    click("clearButton");
    EXPECT_EQ(read("takeSummary", "text").toString(), "0音 / 0.0秒");
    constexpr PhysicalKey keyZ{52, Qt::Key_Z, ""};
    press(keyZ, Qt::ControlModifier);
    release(keyZ, Qt::ControlModifier);
    EXPECT_EQ(read("takeSummary", "text").toString(), "4音 / 4.0秒") << "Ctrl+Z undoes a clear";
}

TEST_F(MainWindowView, ClickedControlsTakeNoFocusSoKeysNeverPressThem) {
    QQuickItem* stepper = button("octaveStepper", "decrement");
    click(stepper);
    EXPECT_FALSE(stepper->hasActiveFocus());
    for (const char* name : {"sound-sine", "mappingLauncher", "cell0", "resetBindings",
                             "closeMapping", "recordButton"}) {
        SCOPED_TRACE(name);
        click(name);
        EXPECT_FALSE(item(name)->hasActiveFocus());
    }
    // A focused record button would take Space, which plays nothing, as its own click.
    press(keySpace);
    release(keySpace);
    EXPECT_TRUE(m().isRecording());
}

// Keys of the shortcuts; with Control held they type nothing.
constexpr PhysicalKey keyR{27, Qt::Key_R, ""}, keyP{33, Qt::Key_P, ""}, keyK{45, Qt::Key_K, ""},
    keyBackspace{22, Qt::Key_Backspace, ""}, keyUp{111, Qt::Key_Up, ""},
    keyDown{116, Qt::Key_Down, ""}, keyLeft{113, Qt::Key_Left, ""},
    keyRight{114, Qt::Key_Right, ""}, key0{19, Qt::Key_0, ""}, key1{10, Qt::Key_1, ""},
    key2{11, Qt::Key_2, ""};

TEST_F(MainWindowView, ControlShortcutsDoWhatTheirButtonsDoAndRefuseWhereTheyAreDisabled) {
    // The state after each key: recording, playing, octave, transposition, timbre, take
    // size, key map open, key-map panel shown. Rows without Control play the key for a second.
    const auto state = [this] {
        return QString::asprintf("rec=%d play=%d oct=%d tr=%d %s take=%zu map=%d panel=%d",
                                 m().isRecording(), m().isPlaying(),
                                 static_cast<int>(m().baseOctave()),
                                 static_cast<int>(m().transposition()),
                                 rawValue(m().soundMode()).data(), m().recordedNotes().size(),
                                 m().mappingOpen(), read("keyMapPanel", "visible").toBool() ? 1 : 0)
            .toStdString();
    };
    struct Step {
        PhysicalKey key;
        Qt::KeyboardModifiers modifiers;
        const char* after;
    };
    const auto ctrl = Qt::ControlModifier;
    const Step steps[] = {
        {keyP, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=0 map=0 panel=0"}, // nothing to play
        {keyBackspace, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=0 map=0 panel=0"},
        {keyR, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=0 map=0 panel=0"},
        {keyA, {}, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"}, // locked
        {keyRight, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyP, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyR, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyP, ctrl, "rec=0 play=1 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyDown, ctrl, "rec=0 play=1 oct=4 tr=0 piano take=1 map=0 panel=0"}, // locked
        {keyLeft, ctrl, "rec=0 play=1 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {key2, ctrl, "rec=0 play=0 oct=4 tr=0 sine take=1 map=0 panel=0"}, // ends playback
        {key1, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=0 play=0 oct=5 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=0 play=0 oct=6 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=0 play=0 oct=6 tr=0 piano take=1 map=0 panel=0"},
        {keyDown, ctrl, "rec=0 play=0 oct=5 tr=0 piano take=1 map=0 panel=0"},
        {keyRight, ctrl, "rec=0 play=0 oct=5 tr=1 piano take=1 map=0 panel=0"},
        {key0, ctrl, "rec=0 play=0 oct=5 tr=0 piano take=1 map=0 panel=0"},
        {keyLeft, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=1 map=0 panel=0"},
        {keyBackspace, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=0 panel=0"},
        {keyK, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=1 panel=1"},
        // Under the open panel only its own shortcut works, as only its buttons can be
        // clicked.
        {keyR, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=1 panel=1"},
        {keyK, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=0 panel=0"},
    };
    QQuickItem* const focused = window().activeFocusItem();
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << step.key.x11Keycode << " then " << step.after);
        press(step.key, step.modifiers);
        if (step.modifiers == Qt::NoModifier) {
            app.clock.advance(1);
        }
        release(step.key, step.modifiers);
        EXPECT_EQ(state(), step.after);
        if (!m().mappingOpen()) { // the open panel holds the focus for its notes
            EXPECT_EQ(window().activeFocusItem(), focused) << "a shortcut took the focus";
        }
        if (step.modifiers != Qt::NoModifier) {
            EXPECT_TRUE(heldVoices().empty()) << "a shortcut sounded a note";
        }
    }
}

TEST_F(MainWindowView, AShortcutIsNeverCapturedAsTheKeyOfAWaitingNote) {
    click("mappingLauncher");
    click("cell0");
    const auto bindings = m().bindings();
    for (const auto& key : {keyR, keyK}) {
        press(key, Qt::ControlModifier);
        release(key, Qt::ControlModifier);
    }
    EXPECT_EQ(m().bindings(), bindings);
    EXPECT_FALSE(m().mappingOpen()) << "Ctrl+K closes the panel as its close button does";
    EXPECT_FALSE(m().mappingTarget().has_value());
    EXPECT_FALSE(m().isRecording());
}

TEST_F(MainWindowView, TooltipsShowTheShortcuts) {
    const std::pair<const char*, const char*> tips[] = {
        {"recordButton", "録音を開始  (Ctrl+R)"},
        {"playButton", "録音を再生  (Ctrl+P)"},
        {"clearButton", "録音を消去  (Ctrl+Backspace)"},
        {"sound-sine", "サイン波音色にする  (Ctrl+2)"},
        {"mappingLauncher", "キー割り当てを開く  (Ctrl+K)"},
    };
    for (const auto& [name, tip] : tips) {
        EXPECT_EQ(read(name, "toolTipText").toString(), QString::fromUtf8(tip)) << name;
    }
}

TEST_F(MainWindowView, ALongNoticeIsCutAtTwoLinesAndTheSteppersKeepTheirWidths) {
    auto* notice = item("notice");
    notice->setProperty("text", QString(400, QChar(0x97f3))); // 音 × 400
    screenshot("long-notice"); // drawing the frame also lays the text out
    EXPECT_EQ(notice->property("lineCount").toInt(), 2);
    EXPECT_TRUE(notice->property("truncated").toBool());
    EXPECT_EQ(item("transpositionStepper")->width(), 158);
    EXPECT_EQ(item("octaveStepper")->width(), 148);
    EXPECT_LE(notice->height(), item("readoutStrip")->height());
}

TEST_F(MainWindowView, AtTheMinimumSizeEverythingStillFits) {
    window().resize(1050, 720);
    QCoreApplication::processEvents();
    EXPECT_EQ(window().size(), QSize(1050, 720));
    auto* footer = item("footer");
    EXPECT_LE(footer->mapToScene({0, footer->height()}).y(), 720 - 18)
        << "the bottom padding is eaten";
    EXPECT_EQ(item("transpositionStepper")->width(), 158);
    screenshot("minimum-size");
}

// A screen with less room than the layout's minimum gets the window at its size and the
// whole content drawn smaller, so that every control stays on the screen and works.
TEST_F(MainWindowView, OnASmallScreenEverythingIsShownSmallerAndStillWorks) {
    const auto screens = QGuiApplication::screens();
    const auto small = std::find_if(screens.begin(), screens.end(),
                                    [](QScreen* screen) { return screen->name() == "small"; });
    ASSERT_NE(small, screens.end());
    window().setScreen(*small);
    QCoreApplication::processEvents();
    EXPECT_EQ(window().size(), QSize(1024, 600));
    EXPECT_LE(window().minimumHeight(), 600);
    const QRectF screen(QPointF(), window().size());
    for (const char* name :
         {"recordButton", "clearButton", "sound-sine", "mappingLauncher", "transpositionStepper",
          "octaveStepper", "key19", "timeline", "footer"}) {
        QQuickItem* shown = item(name);
        EXPECT_TRUE(screen.contains(shown->mapRectToScene(shown->boundingRect()))) << name;
    }
    screenshot("small-screen");
    click("recordButton");
    EXPECT_TRUE(m().isRecording());
}

} // namespace
} // namespace tunescrib::testing
