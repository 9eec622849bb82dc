#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::UnorderedElementsAre;

struct Playback : ::testing::Test, AppFixture {
    void SetUp() override { start(); }

    // Records `notes` (key code, start, end in seconds from the take's start).
    struct Played {
        std::uint16_t code;
        double start;
        double end;
    };
    void recordTake(const std::vector<Played>& notes) {
        m().toggleRecording();
        const double origin = clock.now();
        struct Edge {
            double at;
            KeyEvent event;
        };
        std::vector<Edge> edges;
        for (const auto& n : notes) {
            edges.push_back({n.start, keyDown(n.code)});
            edges.push_back({n.end, keyUp(n.code)});
        }
        std::stable_sort(edges.begin(), edges.end(),
                         [](const Edge& a, const Edge& b) { return a.at < b.at; });
        for (const auto& e : edges) {
            clock.advance(origin + e.at - clock.now());
            m().handleKeyEvent(e.event);
        }
        m().toggleRecording();
    }
    std::string sourceOf(std::size_t sortedIndex) const {
        return "playback:" + model->sortedRecordedNotes()[sortedIndex].id.toString();
    }
};

TEST_F(Playback, NotesStartAndStopAtTheirOffsetsAndTheEndIsAnnounced) {
    recordTake({{0, 0.5, 1.5}});
    m().playRecording();
    EXPECT_TRUE(m().isPlaying());
    EXPECT_EQ(m().notice(), "再生中");
    scheduler.advance(0.499);
    EXPECT_THAT(heldVoices(), IsEmpty());
    scheduler.advance(0.001);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(0)));
    EXPECT_EQ(sourceOf(0).size(), 9U + 36U);
    EXPECT_TRUE(m().isActive(0));
    EXPECT_EQ(m().notice(), "再生中"); // playback notes are not announced
    scheduler.advance(0.999);
    EXPECT_THAT(heldVoices(), SizeIs(1));
    scheduler.advance(0.001);
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    scheduler.advance(0.139);
    EXPECT_TRUE(m().isPlaying());
    scheduler.advance(0.001);
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(m().notice(), "再生完了");
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

TEST_F(Playback, OverlappingNotesOfOnePitchAreTwoVoicesAndKeepTheKeyLit) {
    m().toggleRecording();
    m().startSource(0, "pointer:0");
    clock.advance(0.2);
    m().handleKeyEvent(keyDown(0));
    clock.advance(0.3);
    m().stopSource("pointer:0");
    clock.advance(0.3);
    m().handleKeyEvent(keyUp(0));
    m().toggleRecording();

    m().playRecording();
    scheduler.advance(0.3);
    EXPECT_THAT(heldVoices(), SizeIs(2));
    scheduler.advance(0.25); // the first has ended
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(1)));
    EXPECT_TRUE(m().isActive(0));
    scheduler.advance(0.3);
    EXPECT_FALSE(m().isActive(0));
}

TEST_F(Playback, PlayingAgainRestartsFromTheFirstNote) {
    recordTake({{0, 0.0, 1.0}, {1, 1.0, 2.0}});
    m().playRecording();
    scheduler.advance(1.5);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(1)));
    m().playRecording();
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_EQ(scheduler.pendingCount(), 5U); // only the new playback's steps
    scheduler.advance(0.0);
    EXPECT_THAT(heldVoices(), ElementsAre(sourceOf(0)));
    m().stopPlayback();
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    EXPECT_FALSE(m().isPlaying());
    EXPECT_THAT(heldVoices(), IsEmpty());
    EXPECT_THAT(m().activeMidis(), IsEmpty());
}

TEST_F(Playback, IsRefusedWithoutATakeOrWhileRecording) {
    m().playRecording();
    EXPECT_EQ(m().notice(), "まだ音が録音されていません");
    EXPECT_FALSE(m().isPlaying());
    recordTake({{0, 0.1, 0.2}});
    m().playRecording();
    m().toggleRecording(); // stops the playback, empties the take
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    m().playRecording();
    EXPECT_EQ(m().notice(), "まだ音が録音されていません");
    EXPECT_TRUE(m().isRecording());
    EXPECT_THAT(m().recordedNotes(), IsEmpty());
}

TEST_F(Playback, SoundsTheRecordedPitchAfterAnOctaveChangeAndFollowsTransposition) {
    recordTake({{0, 0.0, 0.5}});
    m().changeOctave(+1);
    m().playRecording();
    scheduler.advance(0.0);
    EXPECT_EQ(voice(sourceOf(0))->midi, 60);
    EXPECT_FALSE(m().isActive(0)); // C4 is below the keyboard now
    EXPECT_EQ(m().activeMidis(), std::set<std::int64_t>{60});
    scheduler.advance(1.0);
    m().changeTransposition(2);
    m().playRecording();
    scheduler.advance(0.0);
    EXPECT_EQ(voice(sourceOf(0))->midi, 62);
}

TEST_F(Playback, AKeyOfTheSameNoteStaysLitWhenAPlaybackNoteReleasedByFocusLossEnds) {
    recordTake({{0, 0.0, 1.0}});
    m().playRecording();
    scheduler.advance(0.1);
    m().applicationDidResignActive(); // releases the playback note, cancels no step
    EXPECT_TRUE(m().isPlaying());
    m().handleKeyEvent(keyDown(0));
    scheduler.advance(1.0); // the playback note's own note-off runs now
    EXPECT_TRUE(m().isActive(0));
    EXPECT_THAT(heldVoices(), ElementsAre("keyboard:0"));
    m().handleKeyEvent(keyUp(0));
    EXPECT_THAT(m().activeMidis(), IsEmpty());
    scheduler.advance(1.0);
    EXPECT_EQ(m().notice(), "再生完了");
}

TEST_F(Playback, StoppingCutsNotesThatFocusLossAlreadyReleased) {
    recordTake({{0, 0.0, 1.0}});
    m().playRecording();
    scheduler.advance(0.1);
    m().applicationDidResignActive();
    ASSERT_TRUE(voice(sourceOf(0)));
    m().stopPlayback();
    EXPECT_FALSE(voice(sourceOf(0)));
    EXPECT_THAT(m().activeMidis(), IsEmpty());
}

TEST_F(Playback, ATimbreChangeStopsItAndLiveKeysPlayAlong) {
    recordTake({{0, 0.0, 1.0}, {1, 0.5, 1.0}});
    m().playRecording();
    scheduler.advance(0.1);
    m().handleKeyEvent(keyDown(0));
    EXPECT_THAT(heldVoices(), UnorderedElementsAre("keyboard:0", sourceOf(0)));
    m().handleKeyEvent(keyUp(0));
    EXPECT_TRUE(m().isActive(0));
    m().setSoundMode(SoundMode::sine);
    EXPECT_FALSE(m().isPlaying());
    EXPECT_EQ(m().notice(), "サイン波音色");
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    EXPECT_THAT(m().activeMidis(), IsEmpty());
}

TEST_F(Playback, ReleasingTheModelCancelsEveryStep) {
    recordTake({{0, 0.0, 1.0}});
    m().playRecording();
    model.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0U);
}

} // namespace
} // namespace tunescrib::testing
