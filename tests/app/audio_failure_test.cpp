#include "app_fixture.h"

namespace tunescrib::testing {
namespace {

using ::testing::IsEmpty;

TEST(AudioFailure, WithoutAudioAtStartTheModelWorksSilentlyAndSaysSo) {
    AppFixture f;
    f.start(AppFixture::Audio::failsAtStart);
    EXPECT_EQ(f.m().audioError(), "Pulse: connection refused");
    EXPECT_EQ(f.m().notice(), "音声出力を開始できません");

    f.m().toggleRecording();
    EXPECT_TRUE(f.m().handleKeyEvent(keyDown(0)));
    EXPECT_EQ(f.m().notice(), "音声出力を開始できません") << "no note was heard";
    EXPECT_TRUE(f.m().isActive(0));
    f.clock.advance(0.4);
    EXPECT_TRUE(f.m().handleKeyEvent(keyUp(0)));
    f.m().toggleRecording();

    f.m().playRecording();
    f.scheduler.advance(0.1);
    EXPECT_TRUE(f.m().isActive(0));
    f.scheduler.advance(1.0);
    EXPECT_THAT(f.m().activeMidis(), IsEmpty());
    EXPECT_EQ(f.m().notice(), "再生完了");
}

TEST(AudioFailure, ASoundServerThatComesLaterIsUsedByTheNextNote) {
    AppFixture f;
    f.start(AppFixture::Audio::failsAtStart);
    f.serverAbsent = false;
    f.m().handleKeyEvent(keyDown(0)); // too soon after the failed start: not tried again
    f.m().handleKeyEvent(keyUp(0));
    EXPECT_EQ(f.engine, nullptr);
    f.clock.advance(synthRetryInterval);
    f.m().handleKeyEvent(keyDown(1));
    EXPECT_EQ(f.heldVoices(), std::vector<std::string>{"keyboard:1"});
    EXPECT_EQ(f.m().notice(), "D4 / レ");
}

TEST(AudioFailure, ALiveNoteThatCannotRestartTheDeviceIsNotRegistered) {
    AppFixture f;
    f.start();
    f.breakAudio();
    EXPECT_TRUE(f.m().handleKeyEvent(keyDown(0)));
    EXPECT_EQ(f.m().notice(), "音声出力を再開できません");
    EXPECT_EQ(f.m().audioError(), "Pulse: server gone");
    EXPECT_THAT(f.m().activeMidis(), IsEmpty());
    EXPECT_EQ(f.m().lastMidi(), std::nullopt);
    EXPECT_FALSE(f.m().handleKeyEvent(keyUp(0)));

    f.m().startSource(3, "pointer:3");
    EXPECT_THAT(f.m().activeMidis(), IsEmpty());
    EXPECT_THAT(f.heldVoices(), IsEmpty());
}

TEST(AudioFailure, AFailedPlaybackNoteStopsPlaybackAndSaysWhy) {
    AppFixture f;
    f.start();
    f.m().toggleRecording();
    f.m().handleKeyEvent(keyDown(0));
    f.clock.advance(0.5);
    f.m().handleKeyEvent(keyDown(1));
    f.clock.advance(0.5);
    f.m().handleKeyEvent(keyUp(0));
    f.m().handleKeyEvent(keyUp(1));
    f.m().toggleRecording();

    f.m().playRecording();
    f.scheduler.advance(0.1);
    EXPECT_EQ(f.heldVoices().size(), 1U);
    f.breakAudio();
    f.scheduler.advance(0.5); // the second note cannot start
    EXPECT_FALSE(f.m().isPlaying());
    EXPECT_EQ(f.m().notice(), "音声出力を再開できません");
    EXPECT_EQ(f.m().audioError(), "Pulse: server gone");
    EXPECT_EQ(f.scheduler.pendingCount(), 0U);
    EXPECT_THAT(f.heldVoices(), IsEmpty());
}

} // namespace
} // namespace tunescrib::testing
