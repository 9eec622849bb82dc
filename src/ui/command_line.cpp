#include "ui/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace tunescrib {

std::optional<int> handleCommandLine(int argc, char* argv[]) {
    if (argc <= 1) {
        return std::nullopt;
    }
    // A core application just for the parser: it needs one for its help text, and a GUI
    // application would need the display that --help must do without.
    int parserArgc = argc;
    QCoreApplication parserApplication(parserArgc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Melody scratchpad: play the two letter rows of the keyboard as a 20-note instrument."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(parserApplication); // exits after --help, --version or a bad option
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tunescrib: unexpected argument '%s'; see --help\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return EXIT_FAILURE;
    }
    return std::nullopt;
}

std::optional<QString> missingDisplayReason(const QProcessEnvironment& environment) {
    const QString platform = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    const bool windowSystem = platform.isEmpty() || platform.startsWith(QLatin1String("xcb")) ||
                              platform.startsWith(QLatin1String("wayland"));
    if (!windowSystem) {
        return std::nullopt;
    }
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty() &&
        environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        return QStringLiteral("no display to open the window on: neither DISPLAY nor "
                              "WAYLAND_DISPLAY is set. Start Tunescrib from a desktop session.");
    }
    return std::nullopt;
}

namespace {

QtMessageHandler previousHandler = nullptr;

void platformFailureHandler(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (type != QtFatalMsg) {
        if (previousHandler != nullptr) {
            previousHandler(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        }
        return;
    }
    const QString display = qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty()
                                ? qEnvironmentVariable("DISPLAY")
                                : qEnvironmentVariable("WAYLAND_DISPLAY");
    std::fprintf(stderr,
                 "tunescrib: cannot open a window on the display '%s': is the display server "
                 "running, and may this user connect to it?\n",
                 qPrintable(display));
    std::_Exit(EXIT_FAILURE);
}

void restoreHandler() {
    qInstallMessageHandler(previousHandler);
}

} // namespace

RestoreMessageHandler exitCleanlyOnPlatformFailure() {
    previousHandler = qInstallMessageHandler(platformFailureHandler);
    return restoreHandler;
}

} // namespace tunescrib
