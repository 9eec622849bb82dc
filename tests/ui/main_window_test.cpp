// The main window's controls and readouts: transport and steppers enabled exactly when
// they may act, the take on the timeline, the notice cut at two lines, and the window's
// sizes.

#include "window_fixture.h"

namespace tunescrib::testing {
namespace {

class MainWindowView : public WindowFixture {
protected:
    void SetUp() override { open(); }

    bool enabled(const QString& stepper, const char* button) {
        auto* control = object(stepper);
        auto* child = control != nullptr ? control->findChild<QObject*>(button) : nullptr;
        EXPECT_NE(child, nullptr) << button;
        return child != nullptr && child->property("enabled").toBool();
    }
    // Records notes (offset, start, duration in seconds) played on the computer keyboard.
    void recordTake(std::initializer_list<std::tuple<const PhysicalKey*, double, double>> notes) {
        m().toggleRecording();
        double now = 0;
        for (const auto& [key, start, duration] : notes) {
            app.clock.advance(start - now);
            press(*key);
            app.clock.advance(duration);
            release(*key);
            now = start + duration;
        }
        m().toggleRecording();
    }
};

TEST_F(MainWindowView, StartsWaitingWithNoTake) {
    EXPECT_EQ(window().title(), "Tunescrib");
    EXPECT_EQ(window().width(), 1320);
    EXPECT_EQ(window().height(), 820);
    EXPECT_EQ(window().minimumWidth(), 1050);
    EXPECT_EQ(window().minimumHeight(), 720);
    EXPECT_EQ(read("noteName", "text").toString(), "\u2014");
    EXPECT_EQ(read("solfege", "text").toString(), "入力待ち");
    EXPECT_EQ(read("takeSummary", "text").toString(), "0音 / 0.0秒");
    EXPECT_TRUE(read("timelineHint", "visible").toBool());
    EXPECT_FALSE(read("playButton", "enabled").toBool());
    EXPECT_FALSE(read("clearButton", "enabled").toBool());
    EXPECT_EQ(read("deckRange", "text").toString(), "C4 \u2014 G5");
    screenshot("default");
}

TEST_F(MainWindowView, TheSoundSelectorShowsAndSetsTheTimbre) {
    EXPECT_TRUE(read("sound-piano", "selected").toBool());
    click("sound-sine");
    EXPECT_EQ(m().soundMode(), SoundMode::sine);
    EXPECT_TRUE(read("sound-sine", "selected").toBool());
    EXPECT_FALSE(read("sound-piano", "selected").toBool());
    EXPECT_EQ(read("notice", "text").toString(), "サイン波音色");
    EXPECT_EQ(accessibleName("sound-sine"), "サイン波 純音");
}

TEST_F(MainWindowView, SteppersAreDisabledAtTheirLimitsAndWhileRecordingOrPlaying) {
    struct Case {
        const char* state;
        std::int64_t transposition, octave;
        bool recording, playing;
        bool transposeDown, transposeReset, transposeUp, octaveDown, octaveUp;
    };
    const Case cases[] = {
        {"defaults", 0, 4, false, false, true, false, true, true, true},
        {"top", 12, 6, false, false, true, true, false, true, false},
        {"bottom", -12, 2, false, false, false, true, true, false, true},
        {"recording", 3, 4, true, false, false, false, false, false, false},
        {"playing", 3, 4, false, true, false, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        m().changeTransposition(c.transposition);
        m().changeOctave(c.octave - m().baseOctave());
        if (c.recording) {
            m().toggleRecording();
        }
        if (c.playing) {
            recordTake({{&keyA, 0.1, 0.3}});
            m().playRecording();
        }
        EXPECT_EQ(enabled("transpositionStepper", "decrement"), c.transposeDown);
        EXPECT_EQ(enabled("transpositionStepper", "reset"), c.transposeReset);
        EXPECT_EQ(enabled("transpositionStepper", "increment"), c.transposeUp);
        EXPECT_EQ(enabled("octaveStepper", "decrement"), c.octaveDown);
        EXPECT_FALSE(enabled("octaveStepper", "reset"));
        EXPECT_EQ(enabled("octaveStepper", "increment"), c.octaveUp);
        // A disabled button runs nothing when clicked.
        const auto before = m().transposition();
        auto* up = object("transpositionStepper")->findChild<QQuickItem*>("increment");
        pointerPress(pointIn(up));
        pointerRelease(pointIn(up));
        EXPECT_EQ(m().transposition(), c.transposeUp ? before + 1 : before);
        m().clearRecording();
    }
}

TEST_F(MainWindowView, SteppersShowAndChangeTheirValues) {
    auto* up = object("transpositionStepper")->findChild<QQuickItem*>("increment");
    pointerPress(pointIn(up));
    pointerRelease(pointIn(up));
    EXPECT_EQ(m().transposition(), 1);
    EXPECT_EQ(object("transpositionStepper")->property("value").toString(), "+1");
    EXPECT_EQ(read("notice", "text").toString(), "半音移動 +1");
    auto* octaveDown = object("octaveStepper")->findChild<QQuickItem*>("decrement");
    pointerPress(pointIn(octaveDown));
    pointerRelease(pointIn(octaveDown));
    EXPECT_EQ(object("octaveStepper")->property("value").toString(), "3");
    EXPECT_EQ(object("octaveStepper")->property("subtitle").toString(), "C♯3 \u2014 G♯4");
}

TEST_F(MainWindowView, RecordingShowsOnTheTransportAndTheTakeOnTheTimeline) {
    click("recordButton");
    EXPECT_TRUE(m().isRecording());
    EXPECT_EQ(read("recordButton", "text").toString(), "停止");
    EXPECT_TRUE(read("recordButton", "isActive").toBool());
    EXPECT_FALSE(read("playButton", "enabled").toBool());
    EXPECT_TRUE(read("clearButton", "enabled").toBool());
    press(keyA);
    screenshot("recording");
    release(keyA);
    click("recordButton");

    m().clearRecording();
    recordTake({{&keyA, 0.0, 0.5}, {&keyS, 0.5, 0.5}, {&keyD, 1.0, 0.5}, {&keyG, 1.5, 2.5}});
    EXPECT_EQ(read("takeSummary", "text").toString(), "4音 / 4.0秒");
    EXPECT_FALSE(read("timelineHint", "visible").toBool());
    EXPECT_EQ(read("timelineTags", "count").toInt(), 4);
    EXPECT_TRUE(read("playButton", "enabled").toBool());
    screenshot("take-on-timeline");

    click("playButton");
    EXPECT_EQ(read("playButton", "text").toString(), "再生中");
    EXPECT_TRUE(read("playButton", "enabled").toBool());
    app.scheduler.advance(0.01);
    EXPECT_TRUE(read("key0", "active").toBool());
    app.scheduler.advance(5);
    EXPECT_EQ(read("playButton", "text").toString(), "再生");
    EXPECT_EQ(read("notice", "text").toString(), "再生完了");
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
    EXPECT_EQ(window().width(), 1050);
    EXPECT_EQ(window().height(), 720);
    auto* footer = item("footer");
    const QPointF footerBottom = footer->mapToScene({0, footer->height()});
    // The Japanese face's taller lines eat a few points of the bottom padding at this size,
    // but nothing may leave the window.
    EXPECT_LE(footerBottom.y(), 720) << "the footer runs off the window";
    EXPECT_EQ(item("transpositionStepper")->width(), 158);
    screenshot("minimum-size");
}

} // namespace
} // namespace tunescrib::testing
