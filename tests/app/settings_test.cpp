#include "app_fixture.h"

#include "../platform/owner_queue.h"
#include "model/preferences.h"
#include "platform/background_defaults_store.h"

#include <functional>

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

const std::string key(preferencesKey);

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
        std::int64_t from, step, to;
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

// The take and the last note move with the transposition, so that they sound as shown.
TEST_F(Settings, TranspositionIsClampedAndShiftsTheTakeAndTheLastNote) {
    m().toggleRecording();
    m().handleKeyEvent(keyDown(0));
    m().handleKeyEvent(keyUp(0));
    m().toggleRecording();
    struct Case {
        std::int64_t request, result;
        const char* notice;
    };
    for (const auto& c : {Case{20, 12, "半音移動 +12"}, Case{1, 1, "半音移動 +1"},
                          Case{0, 0, "半音移動 0"}, Case{INT64_MIN, -12, "半音移動 -12"}}) {
        m().handleKeyEvent(keyDown(0));
        m().changeTransposition(c.request);
        EXPECT_THAT(heldVoices(), IsEmpty());
        m().handleKeyEvent(keyUp(0));
        EXPECT_EQ(m().transposition(), c.result);
        EXPECT_EQ(m().notice(), c.notice);
        EXPECT_EQ(m().recordedNotes()[0].midi, 60 + c.result);
        EXPECT_EQ(m().lastMidi(), 60 + c.result);
        EXPECT_EQ(stored().transposition, c.result);
    }
    const int savesBefore = saves();
    m().changeTransposition(-13); // clamps to the current value: nothing
    EXPECT_EQ(saves(), savesBefore);
}

// Octave and transposition wait silently; the timbre and the key map do not wait.
TEST_F(Settings, OctaveAndTranspositionWaitWhileRecordingOrPlayingButTimbreStopsPlayback) {
    m().toggleRecording();
    m().handleKeyEvent(keyDown(0));
    m().handleKeyEvent(keyUp(0));
    const std::string recordingNotice = m().notice();
    m().changeOctave(1);
    m().changeTransposition(3);
    EXPECT_EQ(m().notice(), recordingNotice);
    m().setSoundMode(SoundMode::sine);
    EXPECT_EQ(m().soundMode(), SoundMode::sine);
    EXPECT_TRUE(m().isRecording());
    m().toggleRecording();
    m().playRecording();
    m().changeOctave(1);
    m().changeTransposition(3);
    EXPECT_EQ(m().notice(), "再生中");
    EXPECT_EQ(m().baseOctave(), 4);
    EXPECT_EQ(m().transposition(), 0);
    EXPECT_EQ(saves(), 1); // the timbre
    m().selectMapping(0);
    EXPECT_TRUE(m().handleKeyEvent(keyDown(12, 0, false, "q")));
    EXPECT_EQ(m().bindings()[0], (KeyBinding{12, "Q"}));
    EXPECT_TRUE(m().isPlaying());
    m().setSoundMode(SoundMode::piano);
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

TEST_F(Settings, ANewTimbreStopsHeldNotesAndSoundsTheNextOnesTheSameChangesNothing) {
    m().handleKeyEvent(keyDown(0));
    m().setSoundMode(SoundMode::piano);
    EXPECT_EQ(heldVoices().size(), 1U);
    EXPECT_EQ(saves(), 0);
    m().setSoundMode(SoundMode::sine);
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(stored().soundMode, SoundMode::sine);
    m().handleKeyEvent(keyUp(0));
    m().handleKeyEvent(keyDown(1));
    EXPECT_EQ(voice("keyboard:1")->mode, SoundMode::sine);
    m().setSoundMode(SoundMode::piano);
    EXPECT_EQ(m().notice(), "ピアノ音色");
}

// A change the store refused stays in force until the program ends, but the status line
// must not confirm it: it says, once per refused save, that it was not kept and why.
TEST_F(Settings, ASaveTheStoreRefusesIsReportedInsteadOfConfirmed) {
    struct Case {
        const char* what;
        std::function<void()> change;
        std::errc reason;
        std::function<bool()> changed;
    };
    const std::vector<Case> cases = {
        {"octave", [&] { m().changeOctave(1); }, std::errc::read_only_file_system,
         [&] { return m().baseOctave() == 5; }},
        {"transposition", [&] { m().changeTransposition(2); }, std::errc::no_space_on_device,
         [&] { return m().transposition() == 2; }},
        {"timbre", [&] { m().setSoundMode(SoundMode::sine); }, std::errc(),
         [&] { return m().soundMode() == SoundMode::sine; }},
        {"captured key",
         [&] {
             m().selectMapping(0);
             m().handleKeyEvent(keyDown(12));
         },
         std::errc::permission_denied, [&] { return m().bindings()[0].keyCode == 12; }},
        {"key map reset", [&] { m().resetBindings(); }, std::errc::permission_denied,
         [&] { return m().bindings() == defaultBindings(); }},
    };
    for (const auto& c : cases) {
        const std::error_code error =
            c.reason == std::errc() ? std::error_code() : std::make_error_code(c.reason);
        store.failure = StoreFailure{error};
        c.change();
        EXPECT_TRUE(c.changed()) << c.what;
        EXPECT_EQ(m().notice(), error ? "設定を保存できません（" + error.message() + "）"
                                      : "設定を保存できません")
            << c.what;
        EXPECT_EQ(store.entries.count(key), 0U) << c.what;
    }
    // Once the store accepts again, the next change is confirmed as usual.
    store.failure.reset();
    m().changeOctave(-1);
    EXPECT_EQ(m().notice(), "オクターブを変更しました");
    EXPECT_EQ(stored().baseOctave, 4);
}

// As in the program, saved on a thread of its own: a change is confirmed at once; a refusal
// comes back on the main thread and takes the confirmation back, once; whatever was changed
// last is stored when the program quits, writes still in flight included.
TEST(StoredPreferences, SavedInTheBackgroundARefusalIsToldOnceAndTheLastChangeIsKept) {
    MemoryDefaultsStore disk;
    OwnerQueue mainThread;
    auto store = std::make_unique<BackgroundDefaultsStore>(disk, mainThread.post());
    ManualClock clock;
    ManualScheduler scheduler{clock};
    auto model = std::make_unique<AppModel>(clock, scheduler, *store, nullptr);
    int notices = 0;
    const auto subscription =
        model->subscribe([&](Property p) { notices += p == Property::notice; });

    disk.failure = StoreFailure{std::make_error_code(std::errc::read_only_file_system)};
    model->changeOctave(1);
    EXPECT_EQ(model->notice(), "オクターブを変更しました");
    mainThread.waitForPost();
    EXPECT_EQ(model->notice(), "オクターブを変更しました"); // only the main thread changes it
    mainThread.run();
    mainThread.run();
    EXPECT_EQ(model->notice(),
              "設定を保存できません（" +
                  std::make_error_code(std::errc::read_only_file_system).message() + "）");
    EXPECT_EQ(notices, 2);

    disk.failure.reset(); // the writer waits for the next change, which orders this before it
    model->setSoundMode(SoundMode::sine);
    for (std::int64_t semitones = 1; semitones <= 12; ++semitones) {
        model->changeTransposition(semitones);
    }
    EXPECT_EQ(model->notice(), "半音移動 +12");
    model.reset();
    store.reset();
    mainThread.run();
    const auto stored = decodePreferences(disk.entries.at(key));
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, (AppPreferences{defaultBindings(), 5, 12, SoundMode::sine}));
}

// Which documents are acceptable is the decoder's table; here, one of each kind of refusal
// and that loading applies all or nothing and never writes.
TEST(StoredPreferences, OnlyAnAcceptableDocumentIsAppliedAndLoadingNeverWrites) {
    const AppPreferences custom{assigning(12, "Q", 0, defaultBindings()).bindings, 6, -12,
                                SoundMode::sine};
    const std::string good = *encodePreferences(custom);
    AppPreferences duplicated = custom;
    duplicated.bindings[1].keyCode = duplicated.bindings[0].keyCode;
    AppPreferences outOfRange = custom;
    outOfRange.baseOctave = 7;

    struct Case {
        const char* what;
        std::optional<std::string> document;
        bool applied;
    };
    for (const auto& c : {Case{"nothing stored", std::nullopt, false}, Case{"valid", good, true},
                          Case{"octave 7", *encodePreferences(outOfRange), false},
                          Case{"repeated key code", *encodePreferences(duplicated), false},
                          Case{"truncated", good.substr(0, good.size() / 2), false}}) {
        AppFixture f;
        if (c.document) {
            f.store.entries[key] = *c.document;
        }
        f.start();
        const AppPreferences expected = c.applied ? custom : AppPreferences{};
        EXPECT_EQ((AppPreferences{f.m().bindings(), f.m().baseOctave(), f.m().transposition(),
                                  f.m().soundMode()}),
                  expected)
            << c.what;
        EXPECT_EQ(f.saves(), 0) << c.what;
        EXPECT_EQ(f.store.entries.count(key), c.document ? 1U : 0U) << c.what;
        // The first change writes a complete, valid record over whatever was there.
        f.m().setSoundMode(f.m().soundMode() == SoundMode::piano ? SoundMode::sine
                                                                 : SoundMode::piano);
        EXPECT_EQ(f.saves(), 1) << c.what;
        EXPECT_TRUE(readStoredPreferences(f.store.entries.at(key))) << c.what;
    }
}

TEST(StoredPreferences, AStoredMapNamingAModifierKeyNeverPlaysIt) {
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
