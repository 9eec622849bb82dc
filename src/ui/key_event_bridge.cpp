#include "ui/key_event_bridge.h"

#include "app/app_model.h"
#include "platform/qt_key_event.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

namespace tunescrib {

namespace {

// Typing into a text field (a save dialog's file name) is writing, not playing.
bool textFieldHasFocus(const QQuickWindow& window) {
    const QQuickItem* focus = window.activeFocusItem();
    return focus != nullptr && focus->flags().testFlag(QQuickItem::ItemAcceptsInputMethod);
}

} // namespace

KeyEventBridge::KeyEventBridge(QQuickWindow& window, AppModel& model, KeysDownQuery keysDown)
    : QObject(&window), window(window), model(model), keysDown(std::move(keysDown)),
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
        if (!isInWindow(receiver) || textFieldHasFocus(window)) {
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
        if (receiver != &window || textFieldHasFocus(window)) {
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

namespace {
// Shift, Control and the like pressed on their own only change the modifier flags of the
// keys pressed with them; the model is never asked about them.
bool isModifierAlone(const KeyEvent& event) {
    return keycode::isModifier(event.keyCode);
}
} // namespace

bool KeyEventBridge::offerPress(const QKeyEvent& press) {
    // Scan code 0 names no physical key (an input method's or a test's synthetic event).
    const bool wasDown =
        press.nativeScanCode() != 0 && !downKeys.insert(press.nativeScanCode()).second;
    auto keyEvent = keyEventFromQt(press);
    if (!keyEvent || isModifierAlone(*keyEvent)) {
        return false;
    }
    keyEvent->isRepeat = wasDown;
    return model.handleKeyEvent(*keyEvent);
}

bool KeyEventBridge::offerRelease(const QKeyEvent& release) {
    if (!release.isAutoRepeat()) {
        downKeys.erase(release.nativeScanCode());
    }
    const auto keyEvent = keyEventFromQt(release);
    return keyEvent && !isModifierAlone(*keyEvent) && model.handleKeyEvent(*keyEvent);
}

void KeyEventBridge::applicationStateChanged(Qt::ApplicationState state) {
    const bool active = state == Qt::ApplicationActive;
    if (applicationActive && !active) {
        // Key-ups of keys held now may go to another application: forget them here too.
        downKeys.clear();
        lastOverride.reset();
        model.applicationDidResignActive();
    } else if (!applicationActive && active) {
        // A key held while focus comes back is still the press that was silenced, and its
        // repeats must not sound. XWayland may mark the keys the compositor says are held
        // only after the focus change has reached us: look again once it surely has.
        takeKeysDown();
        QTimer::singleShot(keysDownSettleTime, this, [this] {
            if (applicationActive) {
                takeKeysDown();
            }
        });
    }
    applicationActive = active;
}

void KeyEventBridge::takeKeysDown() {
    for (const std::uint32_t code : keysDown()) {
        downKeys.insert(code);
    }
}

} // namespace tunescrib
