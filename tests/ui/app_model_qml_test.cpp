// The facade tells QML of exactly the changes that touch each property, and formats what
// it hands over.

#include "ui/app_model_qml.h"

#include "app_fixture.h"

#include <QMetaMethod>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>

namespace tunescrib {
namespace {

class Facade : public ::testing::Test {
protected:
    Facade() {
        for (int i = 0; i < facade.metaObject()->methodCount(); ++i) {
            const QMetaMethod method = facade.metaObject()->method(i);
            if (method.methodType() == QMetaMethod::Signal &&
                method.enclosingMetaObject() == &AppModelQml::staticMetaObject) {
                spies.emplace(method.name().toStdString(),
                              std::make_unique<QSignalSpy>(&facade, method));
            }
        }
    }
    // Signals that fired since the last call, by name.
    std::set<std::string> fired() {
        std::set<std::string> names;
        for (auto& [name, spy] : spies) {
            if (!spy->isEmpty()) {
                names.insert(name);
            }
            spy->clear();
        }
        return names;
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    MemoryDefaultsStore store;
    AppModel model{clock, scheduler, store, [] {
                       return std::make_unique<SynthEngine>(std::make_unique<ManualAudioOutput>());
                   }};
    AppModelQml facade{model};
    std::map<std::string, std::unique_ptr<QSignalSpy>> spies;
};

TEST_F(Facade, EachOperationNotifiesExactlyWhatItTouches) {
    using Names = std::set<std::string>;
    struct Case {
        const char* operation;
        std::function<void(AppModelQml&)> run;
        Names expected;
    };
    const Case cases[] = {
        {"pressKey",
         [](AppModelQml& f) { f.pressKey(0); },
         {"keyActiveChanged", "currentNoteChanged", "noticeChanged"}},
        {"releaseKey", [](AppModelQml& f) { f.releaseKey(0); }, {"keyActiveChanged"}},
        {"changeOctave",
         [](AppModelQml& f) { f.changeOctave(1); },
         {"baseOctaveChanged", "noteNamesChanged", "keyActiveChanged", "noticeChanged"}},
        {"changeTransposition",
         [](AppModelQml& f) { f.changeTransposition(2); },
         {"transpositionChanged", "noteNamesChanged", "keyActiveChanged", "noticeChanged",
          "recordedNotesChanged", "currentNoteChanged"}},
        {"setSoundMode",
         [](AppModelQml& f) { f.setSoundMode("sine"); },
         {"soundModeChanged", "noticeChanged"}},
        {"unknown sound mode", [](AppModelQml& f) { f.setSoundMode("organ"); }, {}},
        {"openMapping", [](AppModelQml& f) { f.openMapping(); }, {"mappingOpenChanged"}},
        {"selectMapping",
         [](AppModelQml& f) { f.selectMapping(3); },
         {"mappingOpenChanged", "mappingTargetChanged", "noticeChanged"}},
        {"resetBindings",
         [](AppModelQml& f) { f.resetBindings(); },
         {"bindingsChanged", "mappingTargetChanged", "noticeChanged"}},
        {"closeMapping",
         [](AppModelQml& f) { f.closeMapping(); },
         {"mappingOpenChanged", "mappingTargetChanged"}},
        {"pressKey out of range", [](AppModelQml& f) { f.pressKey(20); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        c.run(facade);
        const Names got = fired();
        // The model may also publish properties it sets to their old value; what must
        // never happen is a view that misses a change.
        for (const auto& name : c.expected) {
            EXPECT_TRUE(got.contains(name)) << "missing " << name;
        }
        if (c.expected.empty()) {
            EXPECT_TRUE(got.empty()) << "a refused operation notified " << *got.begin();
        }
    }
}

TEST_F(Facade, HandsOverFormattedReadouts) {
    EXPECT_EQ(facade.transpositionText(), "0");
    EXPECT_EQ(facade.noteNames().size(), 20);
    EXPECT_EQ(facade.noteNames().at(1), "C♯4");
    EXPECT_EQ(facade.keyLabels().join(""), "AWSEDFTGYHUJKOLP;:@]");
    EXPECT_EQ(facade.rangeStart(), "C4");
    EXPECT_EQ(facade.rangeEnd(), "G5");
    EXPECT_FALSE(facade.hasCurrentNote());
    EXPECT_EQ(facade.mappingTarget(), -1);
    EXPECT_EQ(facade.takeSummary(), "0音 / 0.0秒");
    facade.changeTransposition(-3);
    EXPECT_EQ(facade.transpositionText(), "-3");
    facade.pressKey(1);
    EXPECT_EQ(facade.currentName(), "A♯3");
    EXPECT_EQ(facade.currentSolfege(), "ラ♯");
    EXPECT_TRUE(facade.keyActive().at(1));
    EXPECT_EQ(facade.keyActive().count(true), 1);
    ASSERT_EQ(facade.soundModes().size(), 2);
    EXPECT_EQ(facade.soundModes().at(1).toMap().value("title").toString(), "サイン波");
}

} // namespace
} // namespace tunescrib
