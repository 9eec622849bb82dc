// Tunescrib's entry point: the command line, then the one model and the one window.

#include "app/app_model.h"
#include "platform/background_defaults_store.h"
#include "platform/qt_scheduler.h"
#include "platform/quit_on_signal.h"
#include "platform/settings_file_store.h"
#include "platform/steady_clock.h"
#include "platform/system_audio_output.h"
#include "synth/synth_engine.h"
#include "ui/command_line.h"
#include "ui/main_window.h"
#include "ui/view_fonts.h"
#include "ui/x11_keyboard.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

Q_IMPORT_QML_PLUGIN(TunescribPlugin)

// Says what the audio thread got: QT_LOGGING_RULES=tunescrib.audio.debug=true
Q_LOGGING_CATEGORY(audioLog, "tunescrib.audio", QtInfoMsg)

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("tunescrib"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUNESCRIB_VERSION));
    if (const auto status = tunescrib::handleCommandLine(argc, argv)) {
        return *status;
    }
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto platform = tunescrib::requestedPlatform(argc, argv, environment);
    if (const auto reason = tunescrib::missingDisplayReason(environment, platform)) {
        std::fprintf(stderr, "tunescrib: %s\n", qPrintable(*reason));
        return EXIT_FAILURE;
    }

    const auto restoreMessages = tunescrib::explainPlatformFailure(platform);
    QGuiApplication application(argc, argv);
    restoreMessages();
    tunescrib::quitOnTerminationSignals(application);
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tunescrib"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tunescrib"));
    tunescrib::installApplicationFont();
    tunescrib::makeAutoRepeatDetectable();

    tunescrib::SteadyClock clock;
    tunescrib::QtScheduler scheduler(clock);
    tunescrib::SettingsFileStore settingsFile;
    // Saving a setting never waits on the disk; a refused save comes back through the
    // event loop. Destroyed after the model, it finishes the last write before the program
    // ends.
    tunescrib::BackgroundDefaultsStore store(settingsFile, [&application](auto step) {
        QMetaObject::invokeMethod(&application, std::move(step), Qt::QueuedConnection);
    });
    tunescrib::AppModel model(clock, scheduler, store, [] {
        return std::make_unique<tunescrib::SynthEngine>(tunescrib::makeSystemAudioOutput(
            [](const std::string& line) { qCDebug(audioLog, "%s", line.c_str()); }));
    });
    tunescrib::MainWindow window(model);
    if (window.window() == nullptr) {
        return EXIT_FAILURE;
    }
    return QGuiApplication::exec();
}
