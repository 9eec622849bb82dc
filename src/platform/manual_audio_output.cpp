#include "platform/manual_audio_output.h"

#include <utility>

namespace tunescrib {

ManualAudioOutput::ManualAudioOutput(AudioFormat format) : format(format) {}

AudioFormat ManualAudioOutput::deviceFormat() {
    return format;
}

AudioFormat ManualAudioOutput::start(RenderCallback newCallback) {
    if (startFailure) {
        throw AudioStartError(*startFailure);
    }
    callback = std::move(newCallback);
    running = true;
    resting = false;
    ++starts;
    return format;
}

void ManualAudioOutput::stop() {
    running = false;
    callback = nullptr;
}

bool ManualAudioOutput::isRunning() {
    if (auto step = std::exchange(runningCheckStep, nullptr)) {
        step();
    }
    return running;
}

void ManualAudioOutput::wake() {
    resting = false;
}

void ManualAudioOutput::beforeNextRunningCheck(std::function<void()> step) {
    runningCheckStep = std::move(step);
}

void ManualAudioOutput::setDeviceFormat(AudioFormat newFormat) {
    format = newFormat;
}

void ManualAudioOutput::failStarts(std::string message) {
    startFailure = std::move(message);
}

void ManualAudioOutput::clearStartFailure() {
    startFailure.reset();
}

void ManualAudioOutput::simulateDeviceStop() {
    running = false;
}

std::vector<float> ManualAudioOutput::render(std::int64_t frames, std::uint32_t channels) {
    const std::size_t perFrame = channels == 0 ? 1 : channels;
    std::vector<float> samples(static_cast<std::size_t>(frames > 0 ? frames : 0) * perFrame);
    AudioBuffer buffer{channels, static_cast<std::uint32_t>(samples.size() * sizeof(float)),
                       samples.data()};
    renderInto(std::span(&buffer, 1), frames);
    return samples;
}

bool ManualAudioOutput::renderInto(std::span<AudioBuffer> buffers, std::int64_t frames) {
    if (!running || resting || !callback) {
        return false;
    }
    resting = callback(buffers, frames);
    return true;
}

} // namespace tunescrib
