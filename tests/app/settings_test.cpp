#include "app_fixture.h"

#include "../platform/owner_queue.h"
#include "model/preferences.h"
#include "platform/background_defaults_store.h"

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

const std::string key(preferencesKey);

// Octave and transposition are clamped, stop held notes, are saved and announced; they wait
// while recording or playing. The take and the last note move with the transposition, so
// that they sound as shown. A new timbre stops held notes and playback.
TEST(Settings, EachChangeIsClampedStopsHeldNotesAndIsSavedUnlessRecordingOrPlaying) {
    const std::string take = "rec d0 u0 rec d0 ";
    const char* octave = "オクターブを変更しました";
    AppFixture::expectAfter({
        {"d0 oct:1", "oct=5 held= saves=1 stored=5/0/piano", octave},
        {"oct:1 oct:1 oct:1 d0 oct:1", "oct=6 held=84p saves=2", "C6 / ド"},
        {"oct:-1 oct:-1 oct:-1 oct:-100", "oct=2 saves=2"},
        {"oct:9223372036854775807", "oct=6"},
        {"oct:-9223372036854775808", "oct=2"},
        {take + "tr:20", "tr=12 held= take=72@0+0.07 last=72 stored=4/12/piano", "半音移動 +12"},
        {take + "tr:1", "tr=1 take=61@0+0.07 last=61", "半音移動 +1"},
        {take + "tr:1 tr:0", "tr=0 take=60@0+0.07 last=60", "半音移動 0"},
        {take + "tr:-9223372036854775808", "tr=-12 take=48@0+0.07 stored=4/-12/piano",
         "半音移動 -12"},
        {"tr:-12 tr:-13", "tr=-12 saves=1"},
        {"rec d0 u0 oct:1 tr:3", "oct=4 tr=0 saves=0", "C4 / ド"}, // silently
        {"rec d0 u0 sine", "mode=sine rec=1 saves=1", "サイン波音色"},
        {"rec d0 u0 rec play oct:1 tr:3", "oct=4 tr=0 play=1 saves=0", "再生中"},
        {"rec d0 u0 rec play map:0 d12", "key0=12 play=1"},
        {"rec d0 u0 rec play sine", "play=0 steps=0 mode=sine"},
        {"d0 piano", "held=60p saves=0"},
        {"d0 sine", "held= saves=1 stored=4/0/sine"},
        {"d0 sine u0 d1", "held=62s"},
        {"sine piano", "mode=piano saves=2", "ピアノ音色"},
    });
}

// A change the store refused stays in force until the program ends, but the status line
// must not confirm it: it says, once per refused save, that it was not kept and why.
TEST(Settings, ASaveTheStoreRefusesIsReportedInsteadOfConfirmed) {
    const std::string refused = "設定を保存できません";
    const std::string readOnly = refused + "（Read-only file system）";
    AppFixture::expectAfter({
        {"readonly oct:1", "oct=5 stored=-", readOnly},
        {"diskfull tr:2", "tr=2 stored=-", refused + "（No space left on device）"},
        {"storefails sine", "mode=sine stored=-", refused},
        {"denied map:0 d12", "key0=12 stored=-", refused + "（Permission denied）"},
        {"readonly map:0 d12 reset", "key0=0 stored=-", readOnly},
        // Once the store accepts again, the next change is confirmed as usual.
        {"readonly oct:1 storeok oct:-1", "oct=4 stored=4/0/piano", "オクターブを変更しました"},
    });
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
    AppPreferences custom{assigning(12, "Q", 0, defaultBindings()).bindings, 6, -12,
                          SoundMode::sine};
    const std::string good = *encodePreferences(custom);
    custom.baseOctave = 7;
    struct Case {
        std::optional<std::string> document;
        bool applied;
    };
    for (const auto& c :
         {Case{std::nullopt, false}, Case{good, true}, Case{*encodePreferences(custom), false},
          Case{good.substr(0, good.size() / 2), false}}) {
        AppFixture f;
        if (c.document) {
            f.store.entries[key] = *c.document;
        }
        f.start();
        const std::string what = c.document.value_or("nothing stored");
        f.expectState(c.applied ? "key0=12 oct=6 tr=-12 mode=sine saves=0"
                                : "key0=0 oct=4 tr=0 mode=piano saves=0",
                      std::nullopt, what);
        EXPECT_EQ(f.store.entries.count(key), c.document ? 1U : 0U) << what;
        // The first change writes a complete, valid record over whatever was there.
        f.run(c.applied ? "piano" : "sine");
        EXPECT_EQ(f.saves(), 1) << what;
        EXPECT_TRUE(readStoredPreferences(f.store.entries.at(key))) << what;
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
