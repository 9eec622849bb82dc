#pragma once
// An AppModel on the manual clock, scheduler, store and audio output, with short ways to
// press keys, to play a script of user actions and to read the whole state as one line.

#include "app/app_model.h"
#include "model/preferences.h"
#include "platform/defaults_store.h"
#include "platform/manual_audio_output.h"
#include "platform/manual_clock.h"
#include "platform/manual_scheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
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
    // The device stops by itself and every later start fails.
    void breakAudio() {
        output->failStarts("Pulse: server gone");
        output->simulateDeviceStop();
    }

    // Plays space-separated actions: dN uN key N down/up, rN RN their auto-repeat halves,
    // with modifiers as in d1+shift+ctrl; pN xN pointer on offset N down/up; +S seconds
    // pass; oct:N tr:N map:N; and the named actions below.
    void run(const std::string& script) {
        std::istringstream words(script);
        for (std::string w; words >> w;) {
            const auto n = [&] { return std::stoll(w.substr(w.find_first_of("-0123456789"))); };
            const auto pointer = [&] { return "pointer:" + w.substr(1); };
            const std::map<std::string, std::function<void()>> named = {
                {"rec", [&] { m().toggleRecording(); }},
                {"stoprec", [&] { m().stopRecording(); }},
                {"play", [&] { m().playRecording(); }},
                {"stop", [&] { m().stopPlayback(); }},
                {"clear", [&] { m().clearRecording(); }},
                {"undo", [&] { m().undoClear(); }},
                {"blur", [&] { m().applicationDidResignActive(); }},
                {"break", [&] { breakAudio(); }},
                {"audioback", [&] { output->clearStartFailure(); }},
                {"serverup", [&] { serverAbsent = false; }},
                {"readonly", [&] { refuseSaves(std::errc::read_only_file_system); }},
                {"diskfull", [&] { refuseSaves(std::errc::no_space_on_device); }},
                {"denied", [&] { refuseSaves(std::errc::permission_denied); }},
                {"storefails", [&] { refuseSaves(std::errc()); }}, // without a reason
                {"storeok", [&] { store.failure.reset(); }},
                {"sine", [&] { m().setSoundMode(SoundMode::sine); }},
                {"piano", [&] { m().setSoundMode(SoundMode::piano); }},
                {"reset", [&] { m().resetBindings(); }},
                {"close", [&] { m().setMappingOpen(false); }},
                {"open", [&] { m().setMappingOpen(true); }},
                {"nosound", [] {}}, // the audio start is the caller's
            };
            if (const auto it = named.find(w); it != named.end()) {
                it->second();
            } else if (w.starts_with("oct:")) {
                m().changeOctave(n());
            } else if (w.starts_with("tr:")) {
                m().changeTransposition(n());
            } else if (w.starts_with("map:")) {
                m().selectMapping(n());
            } else if (w[0] == '+') {
                scheduler.advance(std::stod(w.substr(1)));
            } else if (w[0] == 'p' || w[0] == 'x') {
                w[0] == 'p' ? m().startSource(n(), pointer()) : m().stopSource(pointer());
            } else if (std::string("durR").find(w[0]) != std::string::npos) {
                const bool down = w[0] != 'u' && w[0] != 'R';
                const bool repeat = w[0] == 'r' || w[0] == 'R';
                std::uint64_t flags = 0;
                for (const auto& [name, bit] : modifierNames) {
                    flags |= w.find(name) != std::string::npos ? bit : 0;
                }
                const auto code = static_cast<std::uint16_t>(n());
                handled = m().handleKeyEvent(down ? keyDown(code, flags, repeat, "q")
                                                  : keyUp(code, flags, repeat));
            } else {
                ADD_FAILURE() << "unknown action " << w;
            }
        }
    }

    // Every observable as name=value, lists comma-separated; held voices as midi and timbre
    // initial, notes as midi@start+length. The notice is apart: it has spaces.
    std::map<std::string, std::string> state() const {
        const AppModel& a = *model;
        std::vector<std::string> held;
        int fading = 0;
        for (const auto& v : engine ? engine->voices() : std::vector<VoiceSnapshot>{}) {
            fading += v.isReleasing;
            if (!v.isReleasing) {
                held.push_back(std::to_string(v.midi) + (v.mode == SoundMode::piano ? "p" : "s"));
            }
        }
        std::ranges::sort(held);
        const auto take = [](const RecordedNote& n) {
            return std::to_string(n.midi) + "@" + number(n.start) + "+" + number(n.duration);
        };
        const auto optional = [](const auto& v) { return v ? std::to_string(*v) : "-"; };
        std::string error = a.audioError().value_or("-");
        std::ranges::replace(error, ' ', '_');
        const auto doc = store.entries.find(std::string(preferencesKey));
        const auto stored =
            doc == store.entries.end() ? std::nullopt : decodePreferences(doc->second);
        return {{"rec", std::to_string(a.isRecording())},
                {"play", std::to_string(a.isPlaying())},
                {"oct", std::to_string(a.baseOctave())},
                {"tr", std::to_string(a.transposition())},
                {"mode", a.soundMode() == SoundMode::piano ? "piano" : "sine"},
                {"lit", list(a.activeMidis(), [](auto midi) { return std::to_string(midi); })},
                {"last", optional(a.lastMidi())},
                {"held", list(held, [](const std::string& voice) { return voice; })},
                {"fading", std::to_string(fading)},
                {"steps", std::to_string(scheduler.pendingCount())},
                {"take", list(a.recordedNotes(), take)},
                {"len", number(a.takeDuration())},
                {"handled", std::to_string(handled)},
                {"saves", std::to_string(store.writeCount)},
                {"open", std::to_string(a.mappingOpen())},
                {"target", optional(a.mappingTarget())},
                {"key0", std::to_string(a.bindings()[0].keyCode)},
                {"err", error},
                {"synth", std::to_string(engine != nullptr)},
                {"stored", stored ? std::to_string(stored->baseOctave) + "/" +
                                        std::to_string(stored->transposition) + "/" +
                                        std::string(rawValue(stored->soundMode))
                                  : "-"}};
    }

    struct After {
        std::string script;
        std::string expected; // name=value fields, space-separated
        std::optional<std::string> notice = std::nullopt;
    };
    // Runs each script on a fresh model (without audio if it starts with "nosound"), then
    // compares the fields it names and the notice.
    static void expectAfter(std::initializer_list<After> rows) {
        for (const auto& row : rows) {
            AppFixture f;
            f.start(row.script.starts_with("nosound") ? Audio::failsAtStart : Audio::works);
            f.run(row.script);
            f.expectState(row.expected, row.notice, row.script);
        }
    }
    void expectState(const std::string& expected, const std::optional<std::string>& notice,
                     const std::string& script) const {
        const auto actual = state();
        std::istringstream fields(expected);
        for (std::string field; fields >> field;) {
            const auto name = field.substr(0, field.find('='));
            EXPECT_EQ(name + "=" + actual.at(name), field) << "after: " << script;
        }
        if (notice) {
            EXPECT_EQ(model->notice(), *notice) << "after: " << script;
        }
    }

    static constexpr std::pair<const char*, std::uint64_t> modifierNames[] = {
        {"+shift", modifier::shift},  {"+caps", modifier::capsLock}, {"+pad", modifier::numericPad},
        {"+ctrl", modifier::control}, {"+alt", modifier::option},    {"+super", modifier::command}};

private:
    void refuseSaves(std::errc reason) {
        store.failure =
            StoreFailure{reason == std::errc() ? std::error_code() : std::make_error_code(reason)};
    }
    static std::string number(double value) {
        std::ostringstream text; // six significant digits, as %g
        text << value;
        return text.str();
    }
    template <typename Items, typename Text>
    static std::string list(const Items& items, Text text) {
        std::string out;
        for (const auto& item : items) {
            out += (out.empty() ? "" : ",") + text(item);
        }
        return out;
    }

    Subscription subscription;
    bool handled = false; // what the last key event's handling returned
};

} // namespace tunescrib::testing
