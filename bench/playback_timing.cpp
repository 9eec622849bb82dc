// Plays a take through the real Qt scheduler and prints how late each note and the end of
// playback come compared with the take, and how long the press of play kept the main
// thread. Run it on an idle machine:
//     build/bench/playback_timing [repetitions] [--sound] [--notes N] [--spacing SECONDS]
// The take is N notes (40) on two keys in turn, each held SECONDS (0.25: 10 s in all);
// --notes 10000 --spacing 0.005 plays a long take of 50 s. With --sound the notes go to
// the default sound device, so that a recording of it can be checked against the
// figures; otherwise nothing is heard.
#include "app/app_model.h"
#include "jumping_clock.h"
#include "platform/defaults_store.h"
#include "platform/manual_audio_output.h"
#include "platform/qt_scheduler.h"
#include "platform/system_audio_output.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace tunescrib;

constexpr double endMargin = 0.14;

void recordTake(AppModel& model, JumpingClock& clock, int noteCount, double spacing) {
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
    double play = 0.0;           // seconds playRecording() took
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
    result.play = clock.now() - start;
    QCoreApplication::exec();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int repetitions = 3, noteCount = 40;
    double spacing = 0.25;
    bool sound = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--sound") {
            sound = true;
        } else if (arg == "--notes" && i + 1 < argc) {
            noteCount = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--spacing" && i + 1 < argc) {
            spacing = std::max(0.001, std::atof(argv[++i]));
        } else {
            repetitions = std::max(1, std::atoi(argv[i]));
        }
    }
    JumpingClock clock;
    QtScheduler scheduler(clock);
    MemoryDefaultsStore store;
    ManualAudioOutput* silent = nullptr;
    AppModel model(clock, scheduler, store, [sound, &silent]() -> std::unique_ptr<SynthEngine> {
        if (sound) {
            return std::make_unique<SynthEngine>(makeSystemAudioOutput());
        }
        auto output = std::make_unique<ManualAudioOutput>();
        silent = output.get();
        return std::make_unique<SynthEngine>(std::move(output));
    });
    if (model.audioError()) {
        std::fprintf(stderr, "no sound: %s\n", model.audioError()->c_str());
        return 1;
    }
    // Without a device nothing would play the voices through their fade and retire them, and
    // a long take would pile up thousands: a thread pulls blocks at a device's pace instead.
    std::atomic<bool> done{false};
    std::thread device([&done, silent] {
        while (!done && silent != nullptr) {
            silent->render(256);
            std::this_thread::sleep_for(std::chrono::microseconds(5333));
        }
    });
    recordTake(model, clock, noteCount, spacing);
    std::printf("take: %zu notes, %.3f s; end step due %.3f s after play\n",
                model.recordedNotes().size(), model.takeDuration(),
                model.takeDuration() + endMargin);
    for (int run = 1; run <= repetitions; ++run) {
        const Lateness late = playOnce(model, clock);
        std::vector<double> sorted = late.noteOns;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&sorted](double fraction) {
            return sorted[static_cast<std::size_t>(fraction * (sorted.size() - 1))] * 1e3;
        };
        std::printf("run %d: play took %.2f ms; last note off late by %.2f ms, end late by "
                    "%.2f ms; note-ons late by %.2f..%.2f ms (median %.2f, 99 %% %.2f) over %zu "
                    "notes\n",
                    run, late.play * 1e3, late.lastNoteOff * 1e3, late.end * 1e3, at(0), at(1),
                    at(0.5), at(0.99), sorted.size());
    }
    done = true;
    device.join();
    return 0;
}
