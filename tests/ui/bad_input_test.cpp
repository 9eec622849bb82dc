// The window with what the outside world can hand it: no sound server, and a stored key
// map whose labels are empty, as long as may be stored, emoji or stacks of combining marks.

#include "window_fixture.h"

#include "model/preferences.h"

namespace tunescrib::testing {
namespace {

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
