#include "ui/command_line.h"

#include "ui/control_shortcuts.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace tunescrib {
namespace {

// The options every Qt GUI program takes (the platform, its plugins and theme, the X11
// display, the window's geometry and title, the Qt Quick Controls style). They are
// accepted here and left in argv for QGuiApplication, which acts on them.
void addQtOptions(QCommandLineParser& parser) {
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
          "geometry", "qwindowicon", "qwindowtitle", "title", "session", "display", "name", "style",
          "stylesheet", "qmljsdebugger"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : {"reverse", "nograb", "dograb", "sync", "widgetcount"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    // Qt spells its options with one dash: -platform is one option, not -p -l -a ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

} // namespace

std::optional<int> handleCommandLine(int argc, char** argv) {
    if (argc <= 1) {
        return std::nullopt;
    }
    // A core application just for the parser: it needs one for its help text, and a GUI
    // application would need the display that --help must do without.
    int parserArgc = argc;
    QCoreApplication parserApplication(parserArgc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Melody scratchpad: play the two letter rows "
                                                    "of the keyboard as a 20-note instrument.") +
                                     QStringLiteral("\n\n") + shortcutHelpText());
    parser.addHelpOption();
    parser.addVersionOption();
    addQtOptions(parser);
    parser.process(parserApplication); // exits after --help, --version or a bad option
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tunescrib: unexpected argument '%s'; see --help\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return EXIT_FAILURE;
    }
    return std::nullopt;
}

PlatformRequest requestedPlatform(int argc, char** argv, const QProcessEnvironment& environment) {
    // The last -platform wins, as in Qt's own reading of the arguments.
    PlatformRequest request;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        for (const QString& spelling :
             {QStringLiteral("-platform"), QStringLiteral("--platform")}) {
            if (argument == spelling && i + 1 < argc) {
                request = {QString::fromLocal8Bit(argv[++i]), QStringLiteral("-platform")};
            } else if (argument.startsWith(spelling + QLatin1Char('='))) {
                request = {argument.mid(spelling.size() + 1), QStringLiteral("-platform")};
            }
        }
    }
    if (request.platform.isEmpty()) {
        request = {environment.value(QStringLiteral("QT_QPA_PLATFORM")),
                   QStringLiteral("QT_QPA_PLATFORM")};
    }
    return request;
}

std::optional<QString> missingDisplayReason(const QProcessEnvironment& environment,
                                            const PlatformRequest& request) {
    const QString& platform = request.platform;
    const bool windowSystem = platform.isEmpty() || platform.startsWith(QLatin1String("xcb")) ||
                              platform.startsWith(QLatin1String("wayland"));
    if (!windowSystem) {
        return std::nullopt;
    }
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty() &&
        environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        return QStringLiteral("no display server to open the window on: neither DISPLAY (X11) "
                              "nor WAYLAND_DISPLAY (Wayland) is set. Start Tunescrib from a "
                              "desktop session, or set the one your display server uses.");
    }
    return std::nullopt;
}

} // namespace tunescrib
