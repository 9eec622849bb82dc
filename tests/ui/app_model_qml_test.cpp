// The facade tells QML of every property a change touches: here the changes whose other
// properties no window test sees, a sound server lost while the window is open, and
// operations it refuses; and the take and the keys as list models.

#include "ui/app_model_qml.h"

#include "app_fixture.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace tunescrib {
namespace {

TEST(Facade, EachChangeNotifiesEveryPropertyItTouches) {
    testing::AppFixture app;
    app.start();
    AppModelQml facade(app.m());
    using Signal = void (AppModelQml::*)();
    struct Case {
        const char* operation;
        std::function<void()> run;
        std::vector<Signal> expected; // none: the model is not even asked
    };
    const Case cases[] = {
        {"changeOctave",
         [&] { facade.changeOctave(1); },
         {&AppModelQml::baseOctaveChanged, &AppModelQml::noteNamesChanged,
          &AppModelQml::controlsChanged, &AppModelQml::capturePromptChanged}},
        {"changeTransposition",
         [&] { facade.changeTransposition(2); },
         {&AppModelQml::transpositionChanged, &AppModelQml::noteNamesChanged,
          &AppModelQml::controlsChanged, &AppModelQml::capturePromptChanged}},
        {"toggleRecording",
         [&] { facade.toggleRecording(); },
         {&AppModelQml::isRecordingChanged, &AppModelQml::controlsChanged}},
        {"a note recorded",
         [&] {
             facade.pressKey(0);
             facade.releaseKey(0);
         },
         {&AppModelQml::recordedNotesChanged, &AppModelQml::controlsChanged}},
        {"audio fails",
         [&] {
             app.breakAudio();
             facade.pressKey(0);
         },
         {&AppModelQml::audioErrorChanged, &AppModelQml::noticeChanged}},
        {"unknown sound mode", [&] { facade.setSoundMode("organ"); }, {}},
        {"pressKey out of range", [&] { facade.pressKey(20); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const Signal signal : c.expected) {
            spies.push_back(std::make_unique<QSignalSpy>(&facade, signal));
        }
        app.notifications.clear();
        c.run();
        for (const auto& spy : spies) {
            EXPECT_FALSE(spy->isEmpty()) << "missing " << spy->signal().toStdString();
        }
        if (c.expected.empty()) {
            EXPECT_TRUE(app.notifications.empty()) << "a refused operation reached the model";
        }
    }
}

// A note that ends is one row inserted where it starts, a transposed take one change of
// every row, a new take one reset; each key's light changes alone.
TEST(Facade, TheTakeGrowsByOneRowPerNoteAndEachKeyLightsAlone) {
    testing::AppFixture app;
    app.start();
    AppModelQml facade(app.m());
    TakeListModel& take = *facade.take();
    QAbstractItemModelTester tester(&take, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&take, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&take, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&take, &QAbstractItemModel::modelReset);
    const auto names = [&take] {
        QStringList shown;
        for (int row = 0; row < take.rowCount(); ++row) {
            shown << take.index(row).data(TakeListModel::nameRole).toString();
        }
        return shown.join(' ').toStdString();
    };
    auto* c4 = qobject_cast<KeyLight*>(facade.keys().at(0));
    QSignalSpy c4Lit(c4, &KeyLight::activeChanged);
    QSignalSpy d4Lit(qobject_cast<KeyLight*>(facade.keys().at(2)), &KeyLight::activeChanged);

    app.m().toggleRecording();
    app.m().handleKeyEvent(testing::keyDown(0)); // C4 from 0 s
    EXPECT_TRUE(c4->active());
    app.clock.advance(0.2);
    app.m().handleKeyEvent(testing::keyDown(1)); // D4 from 0.2 s, ends first
    app.clock.advance(0.2);
    app.m().handleKeyEvent(testing::keyUp(1));
    app.clock.advance(0.2);
    app.m().handleKeyEvent(testing::keyUp(0));
    EXPECT_EQ(c4Lit.count(), 2);
    EXPECT_EQ(d4Lit.count(), 2);
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 0) << "C4 started first";
    EXPECT_EQ(names(), "C4 D4");
    EXPECT_DOUBLE_EQ(facade.takeDuration(), app.m().takeDuration());

    app.m().toggleRecording();
    app.m().changeTransposition(2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(names(), "D4 E4");
    EXPECT_EQ(reset.count(), 0);
    app.m().toggleRecording();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(take.rowCount(), 0);
    EXPECT_EQ(facade.takeDuration(), 0.0);
    EXPECT_EQ(c4Lit.count(), 2) << "a key lit without a note";
}

} // namespace
} // namespace tunescrib
