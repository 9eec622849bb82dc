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
//   then hands them to its items, which the filter sees again and ignores).
// A key-down is a repeat when its physical key is already down, whatever the toolkit's
// flag says: X11 with detectable auto-repeat flags no repeat at all, and a key silenced
// while held (by a setting, a recording, a focus loss) must stay silent until it is
// pressed anew. The release half of a flagged X11 repeat pair leaves its key down.
// Keys down when the application gains focus count as held; the window system tells
// which (KeysDownQuery). Every loss of focus is passed on to the model, once per loss.

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

class QKeyEvent;
class QQuickWindow;

namespace tunescrib {

class AppModel;

// Native scan codes (X keycodes) of the keys down now; empty where the window system
// cannot say.
using KeysDownQuery = std::function<std::vector<std::uint32_t>()>;

// Main thread only. Make it a child of the window so that it goes with it; the model
// must outlive it.
class KeyEventBridge : public QObject {
    Q_OBJECT

public:
    // Installs the application-wide filter and the focus hooks.
    KeyEventBridge(QQuickWindow& window, AppModel& model, KeysDownQuery keysDown);
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
    // Counts the keys the window system says are down as held.
    void takeKeysDown();

    static constexpr std::chrono::milliseconds keysDownSettleTime{200};

    QQuickWindow& window;
    AppModel& model;
    KeysDownQuery keysDown;
    std::optional<PressDecision> lastOverride;
    // Native scan codes of the keys down now, as far as the application can know: pressed
    // while it had focus, or down when it gained focus, and not released since.
    std::set<std::uint32_t> downKeys;
    bool applicationActive;
};

} // namespace tunescrib
