#pragma once
// KeyEventBridge: brings the window's key events to the model before anything else sees
// them, and swallows those the model used.
//
// It filters the whole application while it exists, but acts only on events of its
// window, so one physical key event is offered once:
// - ShortcutOverride (sent to the focused item before any shortcut is tried) offers the
//   key-down; when the model uses it the override is accepted, so no shortcut fires, and
//   the KeyPress that follows is swallowed without being offered again;
// - KeyPress / KeyRelease are offered when the window itself receives them (the window
//   then hands them to its items, which the filter sees again and ignores);
// - the release half of an X11 auto-repeat (release + press, both flagged auto-repeat)
//   is swallowed for a key whose press the model used, and never offered: the note is
//   still held and must not stop.
// The model also hears of every loss of focus of the application, once per loss.

#include <QObject>

#include <cstdint>
#include <optional>
#include <set>

class QKeyEvent;
class QQuickWindow;

namespace tunescrib {

class AppModel;

// Main thread only. Make it a child of the window so that it goes with it; the model
// must outlive it.
class KeyEventBridge : public QObject {
    Q_OBJECT

public:
    // Installs the application-wide filter and the focus-loss hook.
    KeyEventBridge(QQuickWindow& window, AppModel& model);
    // Removes the filter.
    ~KeyEventBridge() override;

    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    // The identity of one physical key-down: the override and the press share it.
    struct PressDecision {
        std::uint64_t timestamp = 0;
        std::uint32_t scanCode = 0;
        bool used = false;
    };

    [[nodiscard]] bool isInWindow(QObject* receiver) const;
    bool offerPress(const QKeyEvent& press);
    bool offerRelease(const QKeyEvent& release);
    void applicationStateChanged(Qt::ApplicationState state);

    QQuickWindow& window;
    AppModel& model;
    std::optional<PressDecision> lastOverride;
    // X11 keycodes whose last key-down the model used and whose key-up has not come yet.
    std::set<std::uint32_t> heldKeys;
    bool applicationActive;
};

} // namespace tunescrib
