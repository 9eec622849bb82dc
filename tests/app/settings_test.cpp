#include "app_fixture.h"

#include "../platform/owner_queue.h"
#include "model/preferences.h"
#include "platform/background_defaults_store.h"

namespace tunescrib::testing {
namespace {

const std::string key(preferencesKey);

// Octave and transposition are clamped, stop held notes, are saved and announced; they wait
// while recording or playing. The take and the last note move with the transposition, so
// that they sound as shown. A new timbre stops held notes and playback.
TEST(Settings, EachChangeIsClampedStopsHeldNotesAndIsSavedOrSaysWhyNot) {
    const std::string take = "rec d0 u0 rec d0 ";
    const char* octave = "オクターブを変更しました";
    const std::string refused = "設定を保存できません";
    const std::string readOnly = refused + "（Read-only file system）";
    AppFixture::expectAfter({
        {"d0 oct:1", "oct=5 held= saves=1 stored=5/0/piano", octave},
        {"oct:1 oct:1 oct:1 d0 oct:1", "oct=6 held=84p saves=2", "C6 / ド"},
        {"oct:-1 oct:-1 oct:-1 oct:-100", "oct=2 saves=2"},
        {"oct:9223372036854775807 oct:-9223372036854775808", "oct=2 saves=2"}, // no overflow
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
        // A change the store refused stays in force, and the notice says it was not kept.
        {"readonly oct:1", "oct=5 stored=-", readOnly},
        {"diskfull tr:2", "tr=2 stored=-", refused + "（No space left on device）"},
        {"storefails sine", "mode=sine stored=-", refused},
        {"denied map:0 d12", "key0=12 stored=-", refused + "（Permission denied）"},
        {"readonly map:0 d12 reset", "key0=0 stored=-", readOnly},
        // Once the store accepts again, the next change is confirmed as usual.
        {"readonly oct:1 storeok oct:-1", "oct=4 stored=4/0/piano", octave},
    });
}

// As in the program, saved on a thread of its own: a change is confirmed at once; a refusal
// comes back on the main thread and takes the confirmation back, once; one still on its way
// when the model goes is told to nobody. The writer's own timing is the store's test.
TEST(StoredPreferences, ARefusalFromTheBackgroundWriterIsToldOnTheMainThreadOnce) {
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
    mainThread.waitForPost();
    EXPECT_EQ(model->notice(), "オクターブを変更しました"); // only the main thread changes it
    mainThread.run();
    mainThread.run();
    EXPECT_EQ(model->notice(), "設定を保存できません（Read-only file system）");
    EXPECT_EQ(notices, 2);
    model->changeOctave(1);
    mainThread.waitForPost();
    model.reset();
    mainThread.run();
    mainThread.run();
}

// Which documents are acceptable is the decoder's table; here, one of each kind of refusal,
// that loading applies all or nothing and never writes, and that a stored map naming a
// modifier key never plays it.
TEST(StoredPreferences, OnlyAnAcceptableDocumentIsAppliedAndLoadingNeverWrites) {
    AppPreferences custom{assigning(12, "Q", 0, defaultBindings()).bindings, 6, -12,
                          SoundMode::sine};
    const std::string good = *encodePreferences(custom);
    custom.baseOctave = 7;
    const std::string defaults = "key0=0 oct=4 tr=0 mode=piano";
    struct Case {
        std::optional<std::string> document;
        const char* script;
        std::string expected;
    };
    for (const auto& c : {Case{std::nullopt, "", defaults}, Case{good, "", "key0=12 oct=6 tr=-12"},
                          Case{*encodePreferences(custom), "", defaults},
                          Case{good.substr(0, good.size() / 2), "", defaults},
                          Case{encodePreferences(AppPreferences{
                                   assigning(56, "SHIFT", 0, defaultBindings()).bindings}),
                               "d56", "key0=56 handled=0 lit="}}) {
        AppFixture f;
        if (c.document) {
            f.store.entries[key] = *c.document;
        }
        f.start();
        f.run(c.script);
        const std::string what = c.document.value_or("nothing stored");
        f.expectState(c.expected + " saves=0", std::nullopt, what);
        EXPECT_EQ(f.store.entries.count(key), c.document ? 1U : 0U) << what;
        // The first change writes a complete, valid record over whatever was there.
        f.run("oct:-1");
        EXPECT_EQ(f.store.writeCount, 1) << what;
        EXPECT_TRUE(readStoredPreferences(f.store.entries.at(key))) << what;
    }
}

} // namespace
} // namespace tunescrib::testing
