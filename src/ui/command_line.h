#pragma once
// What the program does before it has a window: the command line (--help and --version
// work with no display at all) and a clear refusal when there is no display to open one
// on. Main thread, before the QGuiApplication exists.

#include "ui/platform_failure.h"

#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace tunescrib {

// Handles --help, --version and unknown options, printing what they ask for; Qt's
// standard options (-platform, -style, ...) are accepted and left to Qt. Returns the exit
// status when the program should end now, std::nullopt when it should start.
std::optional<int> handleCommandLine(int argc, char** argv);

// The platform asked for by -platform, or else by QT_QPA_PLATFORM; empty when neither.
PlatformRequest requestedPlatform(int argc, char** argv, const QProcessEnvironment& environment);

// Why no window can be opened in `environment`, or std::nullopt when a display may be
// there (a platform other than X11 or Wayland is left to Qt to judge).
std::optional<QString> missingDisplayReason(const QProcessEnvironment& environment,
                                            const PlatformRequest& request);

} // namespace tunescrib
