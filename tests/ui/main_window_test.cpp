// The main window's controls: transport, steppers and shortcuts acting exactly when they
// may, controls that never keep the focus, the take on the timeline, and the sizes.

#include "window_fixture.h"

#include <QScreen>

namespace tunescrib::testing {
namespace {

class MainWindowView : public WindowFixture {
protected:
    void SetUp() override { open(); }

    QQuickItem* button(const char* stepper, const char* name) {
        QObject* control = object(QString::fromLatin1(stepper));
        QQuickItem* found = control != nullptr ? control->findChild<QQuickItem*>(name) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
};

// When each control may act is the view rules' own table; here, that each stepper button
// follows its own rule and the steppers and keys show the values. (A click and a shortcut
// run the same handler, which the shortcut table drives.)
TEST_F(MainWindowView, StepperButtonsFollowTheirOwnLimits) {
    struct Case {
        std::int64_t transposition, octave;
        // Per stepper its value, then whether - 0 + are enabled; the first key's note.
        const char* shown;
    };
    const Case cases[] = {
        {0, 4, "0 101, 4 101, C4"},
        {12, 6, "+12 110, 6 100, C7"},
        {-12, 2, "-12 011, 2 001, C1"},
        {-1, 5, "-1 111, 5 101, B4"},
    };
    for (const auto& c : cases) {
        m().changeTransposition(c.transposition);
        m().changeOctave(c.octave - m().baseOctave());
        QStringList shown;
        for (const char* stepper : {"transpositionStepper", "octaveStepper"}) {
            QString states = read(stepper, "value").toString() + ' ';
            for (const char* name : {"decrement", "reset", "increment"}) {
                states += button(stepper, name)->isEnabled() ? '1' : '0';
            }
            shown << states;
        }
        shown << read("key0", "noteName").toString();
        EXPECT_EQ(shown.join(", "), c.shown);
    }
    EXPECT_EQ(read("octaveStepper", "subtitle").toString(), "B4 \u2014 F♯6");
}

TEST_F(MainWindowView, RecordingShowsOnTheTransportAndTheTakeOnTheTimeline) {
    // The record and play buttons' texts, then whether play, clear and export are enabled.
    const auto transport = [this] {
        QString shown = read("recordButton", "text").toString() + ' ' +
                        read("playButton", "text").toString() + ' ';
        for (const char* name : {"playButton", "clearButton", "exportButton"}) {
            shown += read(name, "enabled").toBool() ? '1' : '0';
        }
        return shown;
    };
    click("recordButton");
    EXPECT_EQ(transport(), "停止 再生 010");
    EXPECT_TRUE(read("recordButton", "isActive").toBool());
    press(keyA);
    screenshot("recording");
    app.clock.advance(1);
    release(keyA);
    for (const auto& key : {keyS, keyD, keyA}) {
        press(key);
        app.clock.advance(1);
        release(key);
    }
    EXPECT_EQ(transport(), "停止 再生 010") << "an unfinished take can be played or saved";
    click("recordButton");
    EXPECT_EQ(transport(), "録音 再生 111");
    EXPECT_EQ(read("takeSummary", "text").toString(), "4音 / 4.0秒");
    EXPECT_FALSE(read("timelineHint", "visible").toBool());
    EXPECT_EQ(read("timelineTags", "take").value<QObject*>()->property("count").toInt(), 4);
    screenshot("take-on-timeline");

    click("playButton");
    EXPECT_EQ(transport(), "録音 再生中 110");
    app.scheduler.advance(0.01);
    EXPECT_TRUE(read("key0", "active").toBool());
    app.scheduler.advance(5);
    EXPECT_EQ(transport(), "録音 再生 111");
    click("clearButton");
    EXPECT_EQ(read("takeSummary", "text").toString(), "0音 / 0.0秒");
    constexpr PhysicalKey keyZ{52, Qt::Key_Z, ""};
    press(keyZ, Qt::ControlModifier);
    release(keyZ, Qt::ControlModifier);
    EXPECT_EQ(read("takeSummary", "text").toString(), "4音 / 4.0秒") << "Ctrl+Z undoes a clear";
}

TEST_F(MainWindowView, ClickedControlsTakeNoFocusAndTellTheirShortcuts) {
    QQuickItem* stepper = button("octaveStepper", "decrement");
    click(stepper);
    EXPECT_FALSE(stepper->hasActiveFocus());
    EXPECT_EQ(read("octaveStepper", "value").toString(), "3");
    const std::pair<const char*, const char*> controls[] = {
        {"sound-sine", "サイン波音色にする  (Ctrl+2)"},
        {"mappingLauncher", "キー割り当てを開く  (Ctrl+K)"},
        {"cell0", nullptr},
        {"resetBindings", "標準のキー配置に戻す"},
        {"closeMapping", "キー割り当てを閉じる  (Ctrl+K)"},
        {"recordButton", "録音を開始  (Ctrl+R)"},
    };
    for (const auto& [name, tip] : controls) {
        SCOPED_TRACE(name);
        if (tip != nullptr) {
            EXPECT_EQ(read(name, "toolTipText").toString(), QString::fromUtf8(tip));
        }
        click(name);
        EXPECT_FALSE(item(name)->hasActiveFocus());
    }
    EXPECT_EQ(read("clearButton", "toolTipText").toString(), "録音を消去  (Ctrl+Backspace)");
    // A focused record button would take Space, which plays nothing, as its own click.
    constexpr PhysicalKey space{65, Qt::Key_Space, " "};
    press(space);
    release(space);
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
    // size, key map open, key-map panel shown, the note waiting for a key. Rows without
    // Control hold the key for a second.
    const auto state = [this] {
        const auto wait = m().mappingTarget();
        return QString::asprintf("rec=%d play=%d oct=%d tr=%d %s take=%zu map=%d panel=%d%s",
                                 m().isRecording(), m().isPlaying(),
                                 static_cast<int>(m().baseOctave()),
                                 static_cast<int>(m().transposition()),
                                 rawValue(m().soundMode()).data(), m().recordedNotes().size(),
                                 m().mappingOpen(), read("keyMapPanel", "visible").toBool() ? 1 : 0,
                                 wait ? qPrintable(QStringLiteral(" wait=%1").arg(*wait)) : "")
            .toStdString();
    };
    struct Step {
        PhysicalKey key;
        Qt::KeyboardModifiers modifiers;
        const char* after;
    };
    const auto ctrl = Qt::ControlModifier;
    constexpr PhysicalKey enter{36, Qt::Key_Return, "\r"};
    const Step steps[] = {
        {keyP, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=0 map=0 panel=0"}, // nothing to play
        {keyR, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=0 map=0 panel=0"},
        {keyA, {}, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"}, // locked
        {keyP, ctrl, "rec=1 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyR, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyP, ctrl, "rec=0 play=1 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyDown, ctrl, "rec=0 play=1 oct=4 tr=0 piano take=1 map=0 panel=0"}, // locked
        {key2, ctrl, "rec=0 play=0 oct=4 tr=0 sine take=1 map=0 panel=0"},     // ends playback
        {key1, ctrl, "rec=0 play=0 oct=4 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=0 play=0 oct=5 tr=0 piano take=1 map=0 panel=0"},
        {keyUp, ctrl, "rec=0 play=0 oct=6 tr=0 piano take=1 map=0 panel=0"},
        {keyDown, ctrl, "rec=0 play=0 oct=5 tr=0 piano take=1 map=0 panel=0"},
        {keyRight, ctrl, "rec=0 play=0 oct=5 tr=1 piano take=1 map=0 panel=0"},
        {key0, ctrl, "rec=0 play=0 oct=5 tr=0 piano take=1 map=0 panel=0"},
        {keyLeft, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=1 map=0 panel=0"},
        {keyBackspace, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=0 panel=0"},
        {keyK, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=1 panel=1"},
        {keyRight, {}, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=1 panel=1"},
        {enter, {}, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=1 panel=1 wait=0"},
        // Under the open panel only its own shortcut works, as only its buttons can be
        // clicked; neither is taken as the waiting note's key.
        {keyR, ctrl, "rec=0 play=0 oct=5 tr=-1 piano take=0 map=1 panel=1 wait=0"},
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

// At the minimum size a long notice is cut at two lines, and the steppers keep their
// widths and the content its bottom padding.
TEST_F(MainWindowView, AtTheMinimumSizeALongNoticeIsCutAndEverythingFits) {
    window().resize(1050, 720);
    QCoreApplication::processEvents();
    EXPECT_EQ(window().size(), QSize(1050, 720));
    auto* notice = item("notice");
    notice->setProperty("text", QString(400, QChar(0x97f3))); // 音 × 400
    screenshot("minimum-size"); // drawing the frame also lays the text out
    EXPECT_EQ(notice->property("lineCount").toInt(), 2);
    EXPECT_TRUE(notice->property("truncated").toBool());
    EXPECT_LE(notice->height(), item("readoutStrip")->height());
    EXPECT_EQ(item("transpositionStepper")->width(), 158);
    EXPECT_EQ(item("octaveStepper")->width(), 148);
    auto* footer = item("footer");
    EXPECT_LE(footer->mapToScene({0, footer->height()}).y(), 720 - 18)
        << "the bottom padding is eaten";
}

// A screen with less room than the layout's minimum gets the window at its size and the
// whole content drawn smaller, so that every control stays on the screen and works.
TEST_F(MainWindowView, OnASmallScreenEverythingIsShownSmallerAndStillWorks) {
    QScreen* small = QGuiApplication::screens().value(1); // the test main's second screen
    ASSERT_TRUE(small != nullptr && small->name() == "small");
    window().setScreen(small);
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
