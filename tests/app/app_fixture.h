#pragma once
// An AppModel on the manual clock, scheduler, store and audio output, with short ways to
// press keys and to read what the synthesizer holds.

#include "app/app_model.h"
#include "platform/defaults_store.h"
#include "platform/manual_audio_output.h"
#include "platform/manual_clock.h"
#include "platform/manual_scheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunescrib::testing {

inline KeyEvent keyDown(std::uint16_t code, std::uint64_t flags = 0, bool repeat = false,
                        std::optional<std::string> characters = std::nullopt) {
    return KeyEvent{KeyEventType::keyDown, flags, code, repeat, std::move(characters)};
}

inline KeyEvent keyUp(std::uint16_t code, std::uint64_t flags = 0, bool repeat = false) {
    return KeyEvent{KeyEventType::keyUp, flags, code, repeat, std::nullopt};
}

class AppFixture {
public:
    enum class Audio { works, failsAtStart };

    ManualClock clock;
    ManualScheduler scheduler{clock};
    MemoryDefaultsStore store;
    ManualAudioOutput* output = nullptr; // owned by the engine
    SynthEngine* engine = nullptr;       // owned by the model
    std::unique_ptr<AppModel> model;
    std::vector<Property> notifications;
    bool serverAbsent = false; // every attempt to build the synthesizer fails

    // Builds the model; a stored document, if any, must be in `store` before.
    void start(Audio audio = Audio::works) {
        serverAbsent = audio == Audio::failsAtStart;
        model = std::make_unique<AppModel>(clock, scheduler, store, [this] {
            if (serverAbsent) {
                throw AudioStartError("Pulse: connection refused");
            }
            auto device = std::make_unique<ManualAudioOutput>();
            output = device.get();
            auto synth = std::make_unique<SynthEngine>(std::move(device));
            engine = synth.get();
            return synth;
        });
        subscription = model->subscribe([this](Property p) { notifications.push_back(p); });
    }

    AppModel& m() { return *model; }

    // Voices the synthesizer holds that are not fading, by source identifier.
    std::vector<std::string> heldVoices() const {
        std::vector<std::string> held;
        for (const auto& voice : engine ? engine->voices() : std::vector<VoiceSnapshot>{}) {
            if (!voice.isReleasing) {
                held.push_back(voice.sourceID);
            }
        }
        return held;
    }
    std::optional<VoiceSnapshot> voice(const std::string& sourceID) const {
        for (const auto& v : engine->voices()) {
            if (v.sourceID == sourceID) {
                return v;
            }
        }
        return std::nullopt;
    }

    // The device stops by itself and every later start fails.
    void breakAudio() {
        output->failStarts("Pulse: server gone");
        output->simulateDeviceStop();
    }

    int saves() const { return store.writeCount; }

private:
    Subscription subscription;
};

} // namespace tunescrib::testing
