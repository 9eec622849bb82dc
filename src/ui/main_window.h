#pragma once
// MainWindow: the one window of the application, loaded from the Tunescrib QML module
// and wired to the model: the facade QML reads and the key-event bridge.

#include "ui/app_model_qml.h"
#include "ui/key_event_bridge.h"
#include "ui/x11_keyboard.h"

#include <QQmlApplicationEngine>

class QQuickWindow;

namespace tunescrib {

class AppModel;

// Main thread only, after the QGuiApplication exists. The model must outlive it.
class MainWindow {
public:
    // `keysDown` tells the key-event bridge which keys are down when focus comes back.
    explicit MainWindow(AppModel& model, KeysDownQuery keysDown = x11KeysDown);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The window, or null when the QML failed to load (the engine has printed why).
    [[nodiscard]] QQuickWindow* window() const { return quickWindow; }

private:
    AppModelQml facade; // before the engine: QML reads it until the engine is gone
    QQmlApplicationEngine engine;
    QQuickWindow* quickWindow = nullptr;
};

} // namespace tunescrib
