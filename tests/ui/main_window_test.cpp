// The main window's controls: steppers and shortcuts acting exactly when they may, controls
// that never keep the focus, the sizes, and what the outside world can hand the window.

#include "window_fixture.h"

#include "model/preferences.h"

#include <QScreen>

namespace tunescrib::testing {
namespace {

class MainWindowView : public WindowFixture {
protected:
    void SetUp() override { open(); }

    QQuickItem* button(const char* stepper, const char* name) {
        auto* found = item(QString::fromLatin1(stepper))->findChild<QQuickItem*>(name);
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
        const auto before = std::pair{state(), m().notice()};
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
            EXPECT_TRUE(app.heldVoices().empty()) << "a shortcut sounded a note";
            // A disabled button's shortcut must not even ask: the model's refusal would
            // show a notice.
            if (state() == before.first) {
                EXPECT_EQ(m().notice(), before.second);
            }
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
    // Shrunk, each white key keeps the line where it meets the one before: a one-pixel
    // outline scaled below a pixel must not fall between pixel centres and vanish.
    const QImage image = window().grabWindow();
    for (const int white : {2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19}) {
        QQuickItem* const shown = item(QStringLiteral("key%1").arg(white));
        const QRectF key = shown->mapRectToScene(shown->boundingRect());
        int darkest = 255;
        for (int x = qFloor(key.left()) - 1; x <= qCeil(key.left()) + 1; ++x) {
            darkest = std::min(darkest, image.pixelColor(x, qFloor(key.bottom()) - 4).lightness());
        }
        EXPECT_LT(darkest, 200) << "no line between key " << white << " and the one before";
    }
    click("recordButton");
    EXPECT_TRUE(m().isRecording());
}

// What the outside world can hand the window: no sound server, and a stored key map whose
// labels are empty, as long as may be stored, emoji or stacks of combining marks.
using BadInput = WindowFixture;

TEST_F(BadInput, WithoutAudioTheWindowSaysSo) {
    open(Audio::failsAtStart);
    EXPECT_EQ(read("notice", "text").toString(), "音声出力を開始できません");
    click("mappingLauncher");
    EXPECT_TRUE(read("audioErrorRow", "visible").toBool());
    EXPECT_FALSE(read("helpRow", "visible").toBool());
    screenshot("audio-error");
}

TEST_F(BadInput, ExtremeStoredLabelsAreCutWithoutOverlap) {
    AppPreferences prefs;
    prefs.bindings[0].label = "";
    prefs.bindings[2].label = std::string(maxLabelBytes, 'M');
    prefs.bindings[1].label = "🎹🎵🎶";
    std::string marks = "a";
    for (int i = 0; i < 200; ++i) {
        marks += "\u0301";
    }
    prefs.bindings[4].label = marks;
    prefs.bindings[5].label = "SPACEBAR-WIDE-LABEL";
    app.store.set(preferencesKey, *encodePreferences(prefs));

    open();
    ASSERT_EQ(m().bindings()[2].label.size(), maxLabelBytes) << "the stored map was used";
    for (const int offset : {0, 1, 2, 4, 5}) {
        SCOPED_TRACE(offset);
        auto* key = item(QStringLiteral("key%1").arg(offset));
        auto* chip = key->findChild<QQuickItem*>("chip");
        ASSERT_NE(chip, nullptr);
        EXPECT_LE(chip->width(), std::max(key->width(), 26.0));
        EXPECT_GE(chip->width(), 26.0);
        // Cut to a few dozen characters (one of which may carry 200 combining marks).
        EXPECT_LE(key->property("keyLabel").toString().size(), 256);
    }
    click("mappingLauncher");
    click("cell2");
    screenshot("extreme-labels");
}

} // namespace
} // namespace tunescrib::testing
