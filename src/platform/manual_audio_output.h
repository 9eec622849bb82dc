#pragma once
// An audio output for tests: nothing plays by itself; the test pulls blocks through the
// same callback the real device would call, makes starts fail, or stops the "device".

#include "platform/audio_output.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tunescrib {

// start, stop, failStarts, setDeviceFormat and simulateDeviceStop run on the main
// thread. render may run on one other thread while the output is running (standing in
// for the audio thread), but never concurrently with start or stop.
class ManualAudioOutput final : public AudioOutput {
public:
    explicit ManualAudioOutput(AudioFormat format = {48000.0, 2});

    AudioFormat deviceFormat() override;
    AudioFormat start(RenderCallback callback) override;
    void stop() override;
    [[nodiscard]] bool isRunning() override;
    void wake() override;

    // The format reported by deviceFormat() and by later starts.
    void setDeviceFormat(AudioFormat format);
    // Every later start throws AudioStartError(message), until clearStartFailure().
    void failStarts(std::string message);
    void clearStartFailure();
    // The device stops by itself: isRunning() turns false and render() gives nothing.
    void simulateDeviceStop();
    // How many starts succeeded so far.
    [[nodiscard]] int startCount() const { return starts; }
    // True while the callback's last block asked for rest and no wake came since.
    [[nodiscard]] bool isResting() const { return resting; }
    // Called inside the next isRunning(), once: lets a test run the audio thread's part at
    // the exact moment a caller is between asking and acting.
    void beforeNextRunningCheck(std::function<void()> step);

    // Pulls `frames` frames into one interleaved buffer of `channels` channels and returns
    // its samples; all zeros without calling anything when the output is not running or
    // resting.
    std::vector<float> render(std::int64_t frames, std::uint32_t channels = 1);
    // Pulls one block into buffers the caller laid out; false (and nothing written)
    // when the output is not running or resting.
    bool renderInto(std::span<AudioBuffer> buffers, std::int64_t frames);

private:
    AudioFormat format;
    RenderCallback callback;
    std::atomic<bool> running{false};
    std::atomic<bool> resting{false};
    std::function<void()> runningCheckStep;
    std::optional<std::string> startFailure;
    int starts = 0;
};

} // namespace tunescrib
