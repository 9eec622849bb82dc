#include "ui/key_event_bridge.h"

#include "app/app_model.h"
#include "platform/qt_key_event.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

namespace tunescrib {

KeyEventBridge::KeyEventBridge(QQuickWindow& window, AppModel& model)
    : QObject(&window), window(window), model(model),
      applicationActive(QGuiApplication::applicationState() == Qt::ApplicationActive) {
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            &KeyEventBridge::applicationStateChanged);
}

KeyEventBridge::~KeyEventBridge() {
    qApp->removeEventFilter(this);
}

bool KeyEventBridge::isInWindow(QObject* receiver) const {
    if (receiver == &window) {
        return true;
    }
    const auto* item = qobject_cast<QQuickItem*>(receiver);
    return item != nullptr && item->window() == &window;
}

bool KeyEventBridge::eventFilter(QObject* receiver, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        if (!isInWindow(receiver)) {
            return false;
        }
        auto& override = static_cast<QKeyEvent&>(*event);
        const QKeyEvent press(QEvent::KeyPress, override.key(), override.modifiers(),
                              override.nativeScanCode(), override.nativeVirtualKey(),
                              override.nativeModifiers(), override.text(), override.isAutoRepeat(),
                              override.count());
        const bool used = offerPress(press);
        lastOverride = PressDecision{override.timestamp(), override.nativeScanCode(), used};
        if (used) {
            override.accept();
        }
        return used;
    }
    case QEvent::KeyPress: {
        if (receiver != &window) {
            return false;
        }
        const auto& press = static_cast<const QKeyEvent&>(*event);
        if (lastOverride && lastOverride->timestamp == press.timestamp() &&
            lastOverride->scanCode == press.nativeScanCode()) {
            const bool used = lastOverride->used;
            lastOverride.reset();
            return used;
        }
        return offerPress(press);
    }
    case QEvent::KeyRelease:
        if (receiver != &window) {
            return false;
        }
        return offerRelease(static_cast<const QKeyEvent&>(*event));
    default:
        return false;
    }
}

bool KeyEventBridge::offerPress(const QKeyEvent& press) {
    const auto keyEvent = keyEventFromQt(press);
    if (!keyEvent || !model.handleKeyEvent(*keyEvent)) {
        return false;
    }
    heldKeys.insert(press.nativeScanCode());
    return true;
}

bool KeyEventBridge::offerRelease(const QKeyEvent& release) {
    const bool held = heldKeys.contains(release.nativeScanCode());
    if (release.isAutoRepeat()) {
        return held;
    }
    heldKeys.erase(release.nativeScanCode());
    const auto keyEvent = keyEventFromQt(release);
    return keyEvent && model.handleKeyEvent(*keyEvent);
}

void KeyEventBridge::applicationStateChanged(Qt::ApplicationState state) {
    const bool active = state == Qt::ApplicationActive;
    if (applicationActive && !active) {
        // Key-ups of keys held now may go to another application: forget them here too.
        heldKeys.clear();
        lastOverride.reset();
        model.applicationDidResignActive();
    }
    applicationActive = active;
}

} // namespace tunescrib
