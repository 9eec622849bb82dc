#include "app_fixture.h"

#include "model/preferences.h"

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

const std::string key(preferencesKey);

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

struct Settings : ::testing::Test, AppFixture {
    void SetUp() override { start(); }

    AppPreferences stored() const {
        const auto prefs = decodePreferences(store.entries.at(key));
        EXPECT_TRUE(prefs);
        return prefs.value_or(AppPreferences{});
    }
};

TEST_F(Settings, OctaveStepsAreClampedAndEachChangeStopsNotesAndSaves) {
    struct Case {
        std::int64_t from;
        std::int64_t step;
        std::int64_t to;
    };
    for (const auto& c : {Case{5, 1, 6}, Case{6, 1, 6}, Case{2, -1, 2}, Case{4, -100, 2},
                          Case{2, INT64_MAX, 6}, Case{6, INT64_MIN, 2}}) {
        while (m().baseOctave() != c.from) {
            m().changeOctave(c.from > m().baseOctave() ? 1 : -1);
        }
        m().handleKeyEvent(keyDown(0));
        const int savesBefore = saves();
        const std::string noticeBefore = m().notice();
        m().changeOctave(c.step);
        EXPECT_EQ(m().baseOctave(), c.to) << c.from << " " << c.step;
        const bool changed = c.to != c.from;
        EXPECT_EQ(saves(), savesBefore + (changed ? 1 : 0));
        EXPECT_EQ(m().notice(), changed ? "オクターブを変更しました" : noticeBefore);
        EXPECT_EQ(heldVoices().empty(), changed);
        m().handleKeyEvent(keyUp(0));
    }
    EXPECT_EQ(stored().baseOctave, m().baseOctave());
}

TEST_F(Settings, TranspositionShiftsTheTakeAndTheLastNote) {
    m().toggleRecording();
    m().handleKeyEvent(keyDown(0));
    m().handleKeyEvent(keyUp(0));
    m().toggleRecording();
    struct Case {
        std::int64_t request;
        std::int64_t result;
        const char* notice;
    };
    for (const auto& c :
         {Case{10, 10, "半音移動 +10"}, Case{20, 12, "半音移動 +12"}, Case{1, 1, "半音移動 +1"},
          Case{0, 0, "半音移動 0"}, Case{-3, -3, "半音移動 -3"}, Case{-50, -12, "半音移動 -12"}}) {
        m().changeTransposition(c.request);
        EXPECT_EQ(m().transposition(), c.result);
        EXPECT_EQ(m().notice(), c.notice);
        EXPECT_EQ(m().recordedNotes()[0].midi, 60 + c.result);
        EXPECT_EQ(m().lastMidi(), 60 + c.result);
        EXPECT_EQ(stored().transposition, c.result);
    }
    const int savesBefore = saves();
    m().changeTransposition(-13); // clamps to the current value: nothing
    EXPECT_EQ(saves(), savesBefore);
    EXPECT_EQ(m().notice(), "半音移動 -12");
}

TEST_F(Settings, OctaveAndTranspositionWaitWhileRecordingOrPlayingButTimbreDoesNot) {
    m().toggleRecording();
    m().handleKeyEvent(keyDown(0));
    m().handleKeyEvent(keyUp(0));
    m().changeOctave(1);
    m().changeTransposition(3);
    EXPECT_EQ(m().baseOctave(), 4);
    EXPECT_EQ(m().transposition(), 0);
    m().toggleRecording();
    m().playRecording();
    m().changeOctave(1);
    m().changeTransposition(3);
    EXPECT_EQ(m().baseOctave(), 4);
    EXPECT_EQ(m().transposition(), 0);
    EXPECT_EQ(m().notice(), "再生中");
    EXPECT_EQ(saves(), 0);
    m().setSoundMode(SoundMode::sine);
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(m().soundMode(), SoundMode::sine);
    EXPECT_EQ(stored().soundMode, SoundMode::sine);
}

TEST_F(Settings, TheSameTimbreChangesNothingAndANewOneSoundsTheNextNotes) {
    m().handleKeyEvent(keyDown(0));
    m().setSoundMode(SoundMode::piano);
    EXPECT_EQ(heldVoices().size(), 1U);
    EXPECT_EQ(saves(), 0);
    EXPECT_EQ(m().notice(), "C4 / ド");
    m().setSoundMode(SoundMode::sine);
    EXPECT_THAT(heldVoices(), IsEmpty());
    m().handleKeyEvent(keyUp(0));
    m().handleKeyEvent(keyDown(1));
    EXPECT_EQ(voice("keyboard:1")->mode, SoundMode::sine);
    m().setSoundMode(SoundMode::piano);
    EXPECT_EQ(m().notice(), "ピアノ音色");
}

TEST_F(Settings, EveryAssignmentSavesTheWholeRecordEvenWhenUnchanged) {
    EXPECT_EQ(saves(), 0);
    m().resetBindings(); // defaults already in force
    EXPECT_EQ(saves(), 1);
    EXPECT_EQ(store.entries.at(key), *encodePreferences(AppPreferences{}));
    m().selectMapping(0);
    m().handleKeyEvent(keyDown(0, 0, false, "a")); // its own key again: label only
    EXPECT_EQ(saves(), 2);
    m().changeOctave(1);
    m().changeTransposition(-2);
    m().setSoundMode(SoundMode::sine);
    EXPECT_EQ(saves(), 5);
    AppPreferences expected;
    expected.baseOctave = 5;
    expected.transposition = -2;
    expected.soundMode = SoundMode::sine;
    EXPECT_EQ(stored(), expected);
}

struct StoredPreferences : ::testing::Test {};

TEST_F(StoredPreferences, OnlyAnAcceptableDocumentIsAppliedAndLoadingNeverWrites) {
    AppPreferences custom;
    custom.baseOctave = 6;
    custom.transposition = -12;
    custom.soundMode = SoundMode::sine;
    custom.bindings = assigning(12, "Q", 0, defaultBindings()).bindings;
    const std::string good = *encodePreferences(custom);
    auto duplicateKeys = custom.bindings;
    duplicateKeys[1].keyCode = duplicateKeys[0].keyCode;
    AppPreferences duplicated = custom;
    duplicated.bindings = duplicateKeys;
    AppPreferences shortList = custom;
    shortList.bindings.pop_back();

    struct Case {
        const char* what;
        std::optional<std::string> document;
        bool applied;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, false},
        {"valid", good, true},
        {"octave 2 and transposition 12",
         replaced(replaced(good, "\"baseOctave\":6", "\"baseOctave\":2"), "\"transposition\":-12",
                  "\"transposition\":12"),
         true},
        {"octave 7", replaced(good, "\"baseOctave\":6", "\"baseOctave\":7"), false},
        {"transposition -13", replaced(good, "\"transposition\":-12", "\"transposition\":-13"),
         false},
        {"transposition 13", replaced(good, "\"transposition\":-12", "\"transposition\":13"),
         false},
        {"capital timbre", replaced(good, "\"sine\"", "\"Sine\""), false},
        {"repeated key code", *encodePreferences(duplicated), false},
        {"19 bindings", *encodePreferences(shortList), false},
        {"extra member", replaced(good, "{\"bindings\"", "{\"extra\":[1,2],\"bindings\""), true},
        {"no transposition", replaced(good, "\"transposition\":-12,", ""), false},
        {"truncated", good.substr(0, good.size() / 2), false},
        {"not JSON", "\xff\xfe garbage", false},
    };
    for (const auto& c : cases) {
        AppFixture f;
        if (c.document) {
            f.store.entries[key] = *c.document;
        }
        f.start();
        const AppPreferences expected =
            c.applied ? readStoredPreferences(*c.document).value() : AppPreferences{};
        EXPECT_EQ(f.m().bindings(), expected.bindings) << c.what;
        EXPECT_EQ(f.m().baseOctave(), expected.baseOctave) << c.what;
        EXPECT_EQ(f.m().transposition(), expected.transposition) << c.what;
        EXPECT_EQ(f.m().soundMode(), expected.soundMode) << c.what;
        EXPECT_EQ(f.saves(), 0) << c.what;
        EXPECT_EQ(f.store.entries.count(key), c.document ? 1U : 0U) << c.what;
        if (c.document) {
            EXPECT_EQ(f.store.entries.at(key), *c.document) << c.what;
        }
        // The first change writes a complete, valid record over whatever was there.
        f.m().setSoundMode(f.m().soundMode() == SoundMode::piano ? SoundMode::sine
                                                                 : SoundMode::piano);
        EXPECT_EQ(f.saves(), 1) << c.what;
        EXPECT_TRUE(readStoredPreferences(f.store.entries.at(key))) << c.what;
    }
}

TEST_F(StoredPreferences, AStoredMapNamingAModifierKeyNeverPlaysIt) {
    AppFixture f;
    AppPreferences prefs;
    prefs.bindings = assigning(56 /* Shift */, "SHIFT", 0, defaultBindings()).bindings;
    f.store.entries[key] = *encodePreferences(prefs);
    f.start();
    ASSERT_EQ(f.m().bindings()[0].keyCode, 56);
    EXPECT_FALSE(f.m().handleKeyEvent(keyDown(56)));
    EXPECT_THAT(f.m().activeMidis(), IsEmpty());
}

} // namespace
} // namespace tunescrib::testing
