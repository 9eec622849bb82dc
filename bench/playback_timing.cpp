// Plays a 10-second take through the real Qt scheduler and prints how late each note
// and the end of playback come compared with the take. Run it on an idle machine:
//     build/bench/playback_timing [repetitions] [--sound]
// With --sound the notes go to the default sound device, so that a recording of it can
// be checked against the figures; otherwise nothing is heard.
#include "app/app_model.h"
#include "platform/defaults_store.h"
#include "platform/manual_audio_output.h"
#include "platform/qt_scheduler.h"
#include "platform/rtaudio_stream_backend.h"
#include "platform/steady_clock.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

using namespace tunescrib;

// The monotonic clock, which the take's recording can jump forward so that a
// 10-second take is made in no time.
class JumpingClock final : public Clock {
public:
    [[nodiscard]] double now() const override { return base.now() + offset; }
    void jump(double seconds) { offset += seconds; }

private:
    SteadyClock base;
    double offset = 0.0;
};

constexpr int noteCount = 40;
constexpr double spacing = 0.25; // the last note ends at 10.0 s
constexpr double endMargin = 0.14;

void recordTake(AppModel& model, JumpingClock& clock) {
    model.toggleRecording();
    const double origin = clock.now();
    for (int i = 0; i < noteCount; ++i) {
        const std::uint16_t key = i % 2 == 0 ? 0 : 1; // A and S in turn
        clock.jump(origin + i * spacing - clock.now());
        model.handleKeyEvent(KeyEvent{KeyEventType::keyDown, 0, key, false, std::nullopt});
        clock.jump(origin + (i + 1) * spacing - clock.now());
        model.handleKeyEvent(KeyEvent{KeyEventType::keyUp, 0, key, false, std::nullopt});
    }
    model.toggleRecording();
}

struct Lateness {
    std::vector<double> noteOns; // seconds after each note's recorded start
    double lastNoteOff = 0.0;    // seconds after takeDuration
    double end = 0.0;            // seconds after takeDuration + endMargin
};

Lateness playOnce(AppModel& model, const Clock& clock) {
    Lateness result;
    const auto notes = model.sortedRecordedNotes();
    double start = 0.0;
    const Subscription watch = model.subscribe([&](Property property) {
        const double elapsed = clock.now() - start;
        if (property == Property::lastMidi) {
            const auto index = result.noteOns.size();
            result.noteOns.push_back(elapsed - notes.at(index).start);
        } else if (property == Property::activeMidis && model.activeMidis().empty()) {
            result.lastNoteOff = elapsed - model.takeDuration();
        } else if (property == Property::isPlaying && !model.isPlaying()) {
            result.end = elapsed - (model.takeDuration() + endMargin);
            QCoreApplication::quit();
        }
    });
    start = clock.now();
    model.playRecording();
    QCoreApplication::exec();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool sound = argc > 2 && std::string_view(argv[2]) == "--sound";
    JumpingClock clock;
    QtScheduler scheduler(clock);
    MemoryDefaultsStore store;
    AppModel model(clock, scheduler, store, [sound]() -> std::unique_ptr<SynthEngine> {
        if (sound) {
            return std::make_unique<SynthEngine>(makeRtAudioOutput());
        }
        return std::make_unique<SynthEngine>(std::make_unique<ManualAudioOutput>());
    });
    if (model.audioError()) {
        std::fprintf(stderr, "no sound: %s\n", model.audioError()->c_str());
        return 1;
    }
    recordTake(model, clock);
    std::printf("take: %zu notes, %.3f s; end step due %.3f s after play\n",
                model.recordedNotes().size(), model.takeDuration(),
                model.takeDuration() + endMargin);
    for (int run = 1; run <= repetitions; ++run) {
        const Lateness late = playOnce(model, clock);
        const auto [earliest, latest] =
            std::minmax_element(late.noteOns.begin(), late.noteOns.end());
        double sum = 0;
        for (const double l : late.noteOns) {
            sum += l;
        }
        std::printf("run %d: last note off late by %.2f ms, end late by %.2f ms; note-ons late "
                    "by %.2f..%.2f ms (mean %.2f) over %zu notes\n",
                    run, late.lastNoteOff * 1e3, late.end * 1e3, *earliest * 1e3, *latest * 1e3,
                    sum / late.noteOns.size() * 1e3, late.noteOns.size());
    }
    return 0;
}
