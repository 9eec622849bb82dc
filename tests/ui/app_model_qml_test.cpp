// The facade tells QML of every property a change touches. The window tests see each
// property that one published change touches alone; these are the changes that touch
// several, a sound server lost while the window is open, and operations it refuses.

#include "ui/app_model_qml.h"

#include "app_fixture.h"

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
          &AppModelQml::keyActiveChanged}},
        {"changeTransposition",
         [&] { facade.changeTransposition(2); },
         {&AppModelQml::transpositionChanged, &AppModelQml::noteNamesChanged,
          &AppModelQml::keyActiveChanged}},
        {"audio fails",
         [&] {
             app.breakAudio();
             facade.pressKey(0);
         },
         {&AppModelQml::audioErrorChanged, &AppModelQml::noticeChanged}},
        {"setSoundMode", [&] { facade.setSoundMode("sine"); }, {&AppModelQml::soundModeChanged}},
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

} // namespace
} // namespace tunescrib
