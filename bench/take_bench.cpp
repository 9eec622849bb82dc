// What a note costs while a long take is recorded, in the real window: CPU time from the
// key-down that starts a note to the frame that shows it on the timeline, at 100, 1,000
// and 10,000 notes, and the heap each note of the take holds. Prints figures.
//     build/bench/take_bench [notes timed per size]
// Offscreen with Qt's software renderer unless QT_QPA_PLATFORM and QT_QUICK_BACKEND say
// otherwise (run it under xvfb-run with QT_QPA_PLATFORM=xcb for Mesa's GL, as the program
// draws on a desktop).
#include "app/app_model.h"
#include "jumping_clock.h"
#include "platform/defaults_store.h"
#include "platform/manual_audio_output.h"
#include "platform/qt_scheduler.h"
#include "ui/main_window.h"
#include "ui/view_fonts.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

Q_IMPORT_QML_PLUGIN(TunescribPlugin)

namespace {

using namespace tunescrib;

// The twelve white keys, played up and down in turn at eight notes a second.
constexpr std::array<std::uint16_t, 12> whiteKeys{0, 1, 2, 3, 5, 4, 38, 40, 37, 41, 39, 42};
constexpr double notePitch = 0.125, noteLength = 0.1;

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void playNote(AppModel& model, JumpingClock& clock, std::size_t index) {
    const std::uint16_t key = whiteKeys[index % whiteKeys.size()];
    model.handleKeyEvent(KeyEvent{KeyEventType::keyDown, 0, key, false, std::nullopt});
    clock.jump(noteLength);
    model.handleKeyEvent(KeyEvent{KeyEventType::keyUp, 0, key, false, std::nullopt});
    clock.jump(notePitch - noteLength);
}

void waitForFrame(QQuickWindow& window) {
    QEventLoop loop;
    QObject::connect(&window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
    window.update();
    loop.exec();
}

// Bytes in use on the heap, mapped blocks included.
double heapBytes() {
    const auto info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
    }
    QGuiApplication app(argc, argv);
    installApplicationFont();
    const int timed = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    JumpingClock clock;
    QtScheduler scheduler(clock);
    MemoryDefaultsStore store;
    AppModel model(clock, scheduler, store, [] {
        return std::make_unique<SynthEngine>(std::make_unique<ManualAudioOutput>());
    });
    MainWindow mainWindow(model, [] { return std::vector<std::uint32_t>{}; });
    QQuickWindow& window = *mainWindow.window();
    window.show();
    waitForFrame(window);

    std::printf("CPU per note, key-down to the frame that shows it (median of the last %d "
                "notes of the take):\n",
                timed);
    for (const int size : {100, 1000, 10000}) {
        model.toggleRecording(); // a new take
        waitForFrame(window);
        const double before = heapBytes();
        const int last = std::min(timed, size);
        for (int i = 0; i < size - last; ++i) {
            playNote(model, clock, static_cast<std::size_t>(i));
        }
        waitForFrame(window);
        std::vector<double> process, main;
        for (int i = 0; i < last; ++i) {
            const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            const double mainBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            playNote(model, clock, static_cast<std::size_t>(i));
            waitForFrame(window);
            process.push_back(cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore);
            main.push_back(cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainBefore);
        }
        const double heapPerNote =
            (heapBytes() - before) / static_cast<double>(model.recordedNotes().size());
        std::printf("  %5zu notes: %7.1f us (main thread %7.1f us); heap %.0f bytes per note\n",
                    model.recordedNotes().size(), median(process) * 1e6, median(main) * 1e6,
                    heapPerNote);
        model.toggleRecording();
    }
    return 0;
}
