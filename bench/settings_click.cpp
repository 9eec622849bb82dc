// How long a settings click keeps the calling (UI) thread, saving straight to the settings
// file as before, or through the background writer as the program does now. Clicks come
// spaced as a person clicks (--spacing-ms, default 100) or in a burst (--spacing-ms 0).
//
//     settings_click [--folder DIR] [--clicks N] [--spacing-ms MS]
//
// DIR should be on the disk the user's settings live on (the default, a folder beside the
// program, usually is; /tmp may be memory, where a sync costs nothing).

#include "app/app_model.h"
#include "platform/background_defaults_store.h"
#include "platform/manual_clock.h"
#include "platform/manual_scheduler.h"
#include "platform/settings_file_store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tunescrib;
using Wall = std::chrono::steady_clock;

struct Options {
    std::string folder;
    int clicks = 50;
    int spacingMs = 100;
};

Options parse(int argc, char** argv) {
    Options options;
    options.folder =
        (std::filesystem::absolute(argv[0]).parent_path() / "settings_click.d").string();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--folder") {
            options.folder = argv[i + 1];
        } else if (name == "--clicks") {
            options.clicks = std::max(1, std::atoi(argv[i + 1]));
        } else if (name == "--spacing-ms") {
            options.spacingMs = std::max(0, std::atoi(argv[i + 1]));
        }
    }
    return options;
}

// Milliseconds each click spent in changeTransposition, which saves.
std::vector<double> click(DefaultsStore& store, const Options& options) {
    ManualClock clock;
    ManualScheduler scheduler(clock);
    AppModel model(clock, scheduler, store, nullptr);
    std::vector<double> spent;
    for (int i = 0; i < options.clicks; ++i) {
        const auto start = Wall::now();
        model.changeTransposition(i % 2 == 0 ? 1 : 0);
        spent.push_back(std::chrono::duration<double, std::milli>(Wall::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(options.spacingMs));
    }
    return spent;
}

void print(const char* what, std::vector<double> spent, double wholeMs) {
    std::sort(spent.begin(), spent.end());
    const auto at = [&](double q) {
        return spent[std::min(spent.size() - 1,
                              static_cast<std::size_t>(q * static_cast<double>(spent.size())))];
    };
    std::printf("%-34s median %8.3f ms  p90 %8.3f ms  max %8.3f ms  (run %.0f ms)\n", what, at(0.5),
                at(0.9), spent.back(), wholeMs);
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    std::filesystem::create_directories(options.folder);
    const std::string path = options.folder + "/tunescrib.conf";
    std::printf("%d clicks, %d ms apart, file %s\n", options.clicks, options.spacingMs,
                path.c_str());

    SettingsFileStore file(path);
    auto start = Wall::now();
    auto spent = click(file, options);
    print("on the UI thread (before)", spent,
          std::chrono::duration<double, std::milli>(Wall::now() - start).count());

    start = Wall::now();
    {
        // Posting nothing: every write here succeeds, and the run includes the last write,
        // which the store's end waits for.
        BackgroundDefaultsStore background(file, [](auto) {});
        spent = click(background, options);
    }
    print("through the writer thread (now)", spent,
          std::chrono::duration<double, std::milli>(Wall::now() - start).count());
    return 0;
}
