#pragma once
// What the program does before it has a window: the command line (--help and --version
// work with no display at all) and a clear refusal when there is no display to open one
// on. Main thread, before the QGuiApplication exists.

#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace tunescrib {

// Handles --help, --version and unknown options, printing what they ask for. Returns the
// exit status when the program should end now, std::nullopt when it should start.
std::optional<int> handleCommandLine(int argc, char* argv[]);

// Why no window can be opened in `environment`, or std::nullopt when a display may be
// there (a platform other than X11 or Wayland is left to Qt to judge).
std::optional<QString> missingDisplayReason(const QProcessEnvironment& environment);

// Turns Qt's fatal failure to reach the display server, which would otherwise abort with
// a core dump and advice to reinstall, into a one-line message and exit status 1.
// Call right before constructing QGuiApplication; undo with the returned function after.
using RestoreMessageHandler = void (*)();
RestoreMessageHandler exitCleanlyOnPlatformFailure();

} // namespace tunescrib
