// Plays notes through SynthEngine on the real sound server, for the whole-program sound
// tests that record and measure what comes out. One mode per run:
//
//   sound_probe play <piano|sine> <midi> <hold seconds> <tail seconds>
//       starts the engine, waits for the stream to settle, holds the note, releases it,
//       waits for the tail; prints the stream's figures on stdout.
//   sound_probe sleep-and-wake
//       plays a short sine A4, leaves the engine silent until the output sleeps, prints
//       the share of a core used while asleep, then plays a sine C5 that must wake it.
//   sound_probe server-dies
//       holds a sine note, kills the sound server (SIGKILL, by the pid in
//       $XDG_RUNTIME_DIR/pulse/pid), leaves the output alone for a second, then expects
//       it to report that it stopped and a new note to fail to start; prints the share of
//       a core the process used from the kill on.
//   sound_probe frozen-server
//       freezes the sound server (SIGSTOP), expects starting the engine to fail within
//       two seconds instead of waiting on it, then lets the server go on (SIGCONT).
//   sound_probe no-server
//       constructing the engine must throw a readable start error.
//
// Exit status 0 when the mode's expectations held, 1 otherwise, with a line saying why.

#include "platform/system_audio_output.h"
#include "synth/synth_engine.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

using namespace tunescrib;
using Clock = std::chrono::steady_clock;

namespace {

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void printFigures(StreamAudioOutput& output) {
    if (const auto stream = output.stream()) {
        std::cout << "api " << stream->api << "\nbuffer-frames " << stream->bufferFrames
                  << std::endl;
    }
}

int play(SoundMode mode, std::int64_t midi, double hold, double tail) {
    auto device =
        makeSystemAudioOutput([](const std::string& line) { std::cout << line << std::endl; });
    StreamAudioOutput& output = *device;
    SynthEngine engine(std::move(device));
    std::cout << "rate " << output.deviceFormat().sampleRate << std::endl;
    printFigures(output);
    sleepSeconds(0.3);
    engine.noteOn("probe", midi, mode);
    sleepSeconds(hold);
    engine.noteOff("probe");
    sleepSeconds(tail);
    if (!output.isRunning()) {
        std::cout << "the output stopped while playing" << std::endl;
        return 1;
    }
    return engine.voices().empty() ? 0 : 1;
}

// Seconds of CPU this process has used, user and system, from /proc/self/stat.
double cpuSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which ends at the last ')': state is field 3,
    // utime and stime are fields 14 and 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int sleepAndWake() {
    auto device = makeSystemAudioOutput();
    StreamAudioOutput& output = *device;
    SynthEngine engine(std::move(device));
    sleepSeconds(0.3);
    engine.noteOn("first", 69, SoundMode::sine);
    sleepSeconds(0.3);
    engine.noteOff("first");
    sleepSeconds(3.0);
    const bool asleep = output.isResting();
    const auto quietFrom = Clock::now();
    const double cpuAtQuiet = cpuSeconds();
    sleepSeconds(2.0);
    const double share = (cpuSeconds() - cpuAtQuiet) / (millisecondsSince(quietFrom) / 1000.0);
    std::cout << "asleep " << (asleep ? "yes" : "no") << "\ncpu-share-asleep " << share
              << std::endl;
    engine.noteOn("second", 72, SoundMode::sine);
    const bool awake = output.isRunning() && !output.isResting();
    sleepSeconds(0.6);
    engine.noteOff("second");
    sleepSeconds(0.8);
    if (!asleep || !awake || share >= 0.005) {
        std::cout << "expected an output that sleeps idle and wakes for a note" << std::endl;
        return 1;
    }
    return 0;
}

bool signalServer(int signal) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::ifstream pidFile(std::string(runtime != nullptr ? runtime : "") + "/pulse/pid");
    pid_t pid = 0;
    return pidFile >> pid && pid > 0 && kill(pid, signal) == 0;
}

int serverDies() {
    auto device = makeSystemAudioOutput();
    StreamAudioOutput& output = *device;
    SynthEngine engine(std::move(device));
    engine.noteOn("held", 69, SoundMode::sine);
    sleepSeconds(0.3);
    const auto killed = Clock::now();
    const double cpuAtKill = cpuSeconds();
    if (!signalServer(SIGKILL)) {
        std::cout << "could not kill the sound server" << std::endl;
        return 1;
    }
    // Nobody asks the output anything for a second, as in a program left alone.
    sleepSeconds(1.0);
    const bool running = output.isRunning();
    std::cout << "running-after-1s " << (running ? "yes" : "no") << std::endl;
    const auto attempt = Clock::now();
    bool restartFailed = false;
    try {
        engine.noteOn("again", 72, SoundMode::sine);
    } catch (const AudioStartError& error) {
        restartFailed = true;
        std::cout << "restart-error " << error.what() << std::endl;
    }
    std::cout << "restart-ms " << millisecondsSince(attempt) << std::endl;
    sleepSeconds(2.0);
    const double share = (cpuSeconds() - cpuAtKill) / (millisecondsSince(killed) / 1000.0);
    std::cout << "cpu-share-after-kill " << share << std::endl;
    if (running || !restartFailed || share >= 0.02) {
        std::cout << "expected a stopped output, a failed restart and an idle process" << std::endl;
        return 1;
    }
    return 0;
}

int frozenServer() {
    if (!signalServer(SIGSTOP)) {
        std::cout << "could not stop the sound server" << std::endl;
        return 1;
    }
    const auto attempt = Clock::now();
    bool failed = false;
    try {
        SynthEngine engine(makeSystemAudioOutput());
    } catch (const AudioStartError& error) {
        failed = true;
        std::cout << "start-error " << error.what() << std::endl;
    }
    const double waited = millisecondsSince(attempt);
    std::cout << "start-ms " << waited << std::endl;
    signalServer(SIGCONT);
    return failed && waited < 2000.0 ? 0 : 1;
}

int noServer() {
    try {
        SynthEngine engine(makeSystemAudioOutput());
    } catch (const AudioStartError& error) {
        std::cout << "start-error " << error.what() << std::endl;
        return std::string(error.what()).empty() ? 1 : 0;
    }
    std::cout << "the engine started without a sound server" << std::endl;
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "play" && argc == 6) {
        const auto timbre = soundModeFromRaw(argv[2]);
        if (timbre) {
            return play(*timbre, std::atoll(argv[3]), std::atof(argv[4]), std::atof(argv[5]));
        }
    } else if (mode == "sleep-and-wake") {
        return sleepAndWake();
    } else if (mode == "server-dies") {
        return serverDies();
    } else if (mode == "frozen-server") {
        return frozenServer();
    } else if (mode == "no-server") {
        return noServer();
    }
    std::cerr << "usage: sound_probe play <piano|sine> <midi> <hold> <tail> | "
                 "sleep-and-wake | server-dies | frozen-server | no-server\n";
    return 2;
}
