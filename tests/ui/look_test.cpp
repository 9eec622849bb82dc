// What the window looks like and reads: pixels sampled at points of named items against the
// palette and the texts of the transport and the take, through a session of states.

#include "window_fixture.h"

#include <QQuickItem>

#include <functional>

namespace tunescrib::testing {
namespace {

// The palette's colours, from their sRGB components.
QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}
const QColor paperLight = rgb(0.975, 0.965, 0.935);
const QColor ink = rgb(0.12, 0.12, 0.11);
const QColor amber = rgb(0.91, 0.56, 0.12);
const QColor amberLight = rgb(0.98, 0.76, 0.36);
const QColor red = rgb(0.73, 0.18, 0.14);
const QColor darkPanel = rgb(0.11, 0.115, 0.105);
const QColor whiteKey = rgb(0.985, 0.975, 0.94);
const QColor blackKey = rgb(0.09, 0.09, 0.085);

class WindowLook : public WindowFixture {
protected:
    void SetUp() override { open(); }

    struct Probe {
        const char* item;
        QPointF at; // fraction of the item's size from its top-left corner
        QColor colour;
    };

    void expectColours(const char* state, std::initializer_list<Probe> probes) {
        const QImage image = window().grabWindow();
        ASSERT_FALSE(image.isNull());
        for (const auto& probe : probes) {
            QQuickItem* target = item(QString::fromLatin1(probe.item));
            if (target == nullptr) {
                continue;
            }
            const QPoint pixel = (pointIn(target, probe.at) * image.devicePixelRatio()).toPoint();
            const QColor seen = image.pixelColor(pixel);
            const int difference = std::max({std::abs(seen.red() - probe.colour.red()),
                                             std::abs(seen.green() - probe.colour.green()),
                                             std::abs(seen.blue() - probe.colour.blue())});
            EXPECT_LE(difference, 2) << state << ": " << probe.item << " at (" << probe.at.x()
                                     << ", " << probe.at.y() << ") is " << seen.name().toStdString()
                                     << ", not " << probe.colour.name().toStdString();
        }
    }

    // Every text the window draws in its visible items.
    QStringList visibleTexts() {
        QStringList texts;
        const std::function<void(QQuickItem*)> collect = [&](QQuickItem* node) {
            if (!node->isVisible() || node->opacity() == 0.0) {
                return;
            }
            if (const QVariant text = node->property("text");
                text.isValid() && node->inherits("QQuickText")) {
                texts << text.toString();
            }
            for (QQuickItem* child : node->childItems()) {
                collect(child);
            }
        };
        collect(window().contentItem());
        return texts;
    }
};

TEST_F(WindowLook, TextsKeysSelectorTransportAndTimelineFollowASession) {
    // The record and play buttons' texts, then whether play, clear and export are enabled.
    const auto transport = [this] {
        QString shown = read("recordButton", "text").toString() + ' ' +
                        read("playButton", "text").toString() + ' ';
        for (const char* name : {"playButton", "clearButton", "exportButton"}) {
            shown += read(name, "enabled").toBool() ? '1' : '0';
        }
        return shown;
    };
    // At rest: no note yet, no take, nothing to play, clear or save.
    EXPECT_EQ(window().title(), "Tunescrib");
    EXPECT_EQ(window().size(), QSize(1320, 820));
    EXPECT_EQ(window().minimumSize(), QSize(1050, 720));
    EXPECT_EQ(read("noteName", "text").toString(), "\u2014");
    EXPECT_EQ(read("solfege", "text").toString(), "入力待ち");
    EXPECT_EQ(transport(), "録音 再生 000");
    EXPECT_EQ(read("takeSummary", "text").toString(), "0音 / 0.0秒");
    EXPECT_EQ(read("deckRange", "text").toString(), "C4 \u2014 G5");
    screenshot("default");
    const QStringList texts = visibleTexts();
    for (const char* fixed :
         {"MELODY SCRATCHPAD / LINUX", "Tunescrib", "SOUND", "KEY MAP", "TAPE TRANSPORT",
          "LAST TAKE", "メロディ", "CURRENT NOTE", "半音移動", "SEMITONE", "OCTAVE", "入力待ち",
          "JISキーボードを横いっぱいに使う、20音のメロディ確認台", "20 NOTE / JIS QUICK CHECK",
          "JIS配列の A〜] "
          "を使って演奏できます。鍵盤クリックにも対応し、音声エンジンは起動時から待機します。",
          "「録音」を押してから弾くと、ここに音の並びが残ります。",
          "音はPC内で生成され、録音データは外部へ送信されません。",
          "PIANO / SINE \u00b7 NATIVE AUDIO"}) {
        EXPECT_TRUE(texts.contains(QString::fromUtf8(fixed))) << fixed;
    }

    // Black keys lie over the white keys beside them: (0.2, 0.2) of C♯ is over C's area.
    expectColours("at rest", {{"key0", {0.5, 0.2}, whiteKey},
                              {"key1", {0.5, 0.2}, blackKey},
                              {"key1", {0.2, 0.2}, blackKey},
                              {"key19", {0.5, 0.2}, whiteKey},
                              {"sound-piano", {0.08, 0.2}, ink},
                              {"sound-sine", {0.08, 0.2}, paperLight},
                              {"recordButton", {0.06, 0.2}, paperLight},
                              {"readoutStrip", {0.5, 0.06}, darkPanel}});

    // Keys held light up, and the readout names the last note until the next one.
    press(keyA);
    EXPECT_EQ(app.heldVoices(), std::vector<std::string>{"keyboard:0"});
    EXPECT_EQ(read("solfege", "text").toString(), "ド");
    constexpr PhysicalKey keyW{25, Qt::Key_W, "w"};
    press(keyW);
    expectColours("two keys held", {{"key0", {0.5, 0.2}, amberLight},
                                    {"key1", {0.5, 0.2}, amber},
                                    {"key2", {0.5, 0.66}, whiteKey}});
    screenshot("chord-lit");
    release(keyA);
    release(keyW);
    EXPECT_TRUE(app.heldVoices().empty());
    EXPECT_EQ(read("noteName", "text").toString(), "C♯4");

    click("sound-sine");
    expectColours("sine chosen", {{"key0", {0.5, 0.2}, whiteKey},
                                  {"key1", {0.5, 0.2}, blackKey},
                                  {"sound-piano", {0.08, 0.2}, paperLight},
                                  {"sound-sine", {0.08, 0.2}, ink}});

    click("recordButton");
    EXPECT_EQ(transport(), "停止 再生 010");
    expectColours("recording", {{"recordButton", {0.06, 0.2}, red}});
    screenshot("recording");
    for (const auto& key : {keyA, keyS, keyD, keyA}) {
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
    // The first note's tag, a quarter of the take, starts the timeline's first lane.
    expectColours("a take of four notes", {{"recordButton", {0.06, 0.2}, paperLight},
                                           {"timeline", {0.15, 0.22}, amberLight}});
    screenshot("take-on-timeline");

    click("playButton");
    EXPECT_EQ(transport(), "録音 再生中 110");
    app.scheduler.advance(0.01);
    expectColours("playing the first note", {{"key0", {0.5, 0.2}, amberLight}});
    app.scheduler.advance(5);
    EXPECT_EQ(transport(), "録音 再生 111");
    click("clearButton");
    EXPECT_EQ(read("takeSummary", "text").toString(), "0音 / 0.0秒");
    constexpr PhysicalKey keyZ{52, Qt::Key_Z, ""};
    press(keyZ, Qt::ControlModifier);
    release(keyZ, Qt::ControlModifier);
    EXPECT_EQ(read("takeSummary", "text").toString(), "4音 / 4.0秒") << "Ctrl+Z undoes a clear";
}

TEST_F(WindowLook, DisabledSteppersFadeButTheirValuesDoNot) {
    // At octave 4 and transposition 0 every stepper button may act but the two values,
    // which only show: they must read as plainly as the enabled buttons beside them.
    QImage image = window().grabWindow();
    const auto textInk = [&](const char* stepper, const char* button) {
        QQuickItem* control =
            item(QString::fromLatin1(stepper))->findChild<QQuickItem*>(QString::fromLatin1(button));
        // The brightest pixel of the label: white at 0.9 over the button, however it is faded.
        const QRect area =
            control->mapRectToScene(control->boundingRect()).toRect().adjusted(3, 3, -3, -3);
        int brightest = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                brightest = std::max(brightest, image.pixelColor(x, y).lightness());
            }
        }
        return brightest;
    };
    const int enabledPlus = textInk("octaveStepper", "increment");
    EXPECT_GT(enabledPlus, 200);
    EXPECT_NEAR(textInk("octaveStepper", "reset"), enabledPlus, 12);
    EXPECT_NEAR(textInk("transpositionStepper", "reset"), enabledPlus, 12);

    // At the top octave the plus button is disabled and fades; the value still does not.
    for (int i = 0; i < 2; ++i) {
        click(item("octaveStepper")->findChild<QQuickItem*>(QStringLiteral("increment")));
    }
    image = window().grabWindow();
    EXPECT_LT(textInk("octaveStepper", "increment"), enabledPlus - 40);
    EXPECT_NEAR(textInk("octaveStepper", "reset"), enabledPlus, 12);
}

} // namespace
} // namespace tunescrib::testing
