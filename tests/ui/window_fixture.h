#pragma once
// Opens the real window offscreen on a model with manual clock, scheduler, store and audio
// output, and drives it as a person would: physical keys (X11 keycodes through Qt's own
// window-system path, so shortcut overrides and auto-repeat flags are real), the pointer,
// and screenshots saved for a person to look at.

#include "app_fixture.h"
#include "ui/main_window.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <memory>
#include <set>

namespace tunescrib::testing {

// A physical key: its X11 keycode and what Qt reports it types on a US layout.
struct PhysicalKey {
    quint32 x11Keycode;
    Qt::Key key;
    const char* text;
};

inline constexpr PhysicalKey keyA{38, Qt::Key_A, "a"};
inline constexpr PhysicalKey keyS{39, Qt::Key_S, "s"};
inline constexpr PhysicalKey keyD{40, Qt::Key_D, "d"};
inline constexpr PhysicalKey keyG{42, Qt::Key_G, "g"};
inline constexpr PhysicalKey keyQ{24, Qt::Key_Q, "q"};
inline constexpr PhysicalKey keyEscape{9, Qt::Key_Escape, "\x1b"};
inline constexpr PhysicalKey keySpace{65, Qt::Key_Space, " "};

class WindowFixture : public ::testing::Test {
protected:
    using Audio = AppFixture::Audio;

    // Builds the model (reading app.store first) and opens the window, shown and active.
    void open(Audio audio = Audio::works);

    AppModel& m() { return app.m(); }
    QQuickWindow& window() { return *mainWindow->window(); }
    // The named object, Repeater delegates and popup contents included; fails the test
    // when there is none.
    QObject* object(const QString& objectName);
    QQuickItem* item(const QString& objectName) {
        return qobject_cast<QQuickItem*>(object(objectName));
    }
    QVariant read(const QString& objectName, const char* property) {
        QObject* found = object(objectName);
        return found != nullptr ? found->property(property) : QVariant();
    }
    // The name a screen reader is told of the named item.
    QString accessibleName(const QString& objectName);

    // Key events through the window system: press, release, or an auto-repeat of a held
    // key: a bare unflagged press, as X11 sends it with detectable auto-repeat, or else a
    // release + press pair, both flagged (X11 without it, Wayland).
    void press(const PhysicalKey& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        sendKey(QEvent::KeyPress, key, modifiers, false);
    }
    void release(const PhysicalKey& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        sendKey(QEvent::KeyRelease, key, modifiers, false);
    }
    enum class Repeat { bare, flaggedPair };
    void autoRepeat(const PhysicalKey& key, Repeat form = Repeat::bare);
    // The key comes up while another application has focus: this window hears nothing.
    void releaseElsewhere(const PhysicalKey& key) { keysDown.erase(key.x11Keycode); }

    // The left button at window coordinates.
    void pointerPress(QPointF at) {
        QTest::mousePress(&window(), Qt::LeftButton, {}, at.toPoint());
    }
    void pointerMove(QPointF to) { QTest::mouseMove(&window(), to.toPoint()); }
    void pointerRelease(QPointF at) {
        QTest::mouseRelease(&window(), Qt::LeftButton, {}, at.toPoint());
    }
    void click(QQuickItem* target);
    void click(const QString& objectName) { click(item(objectName)); }
    // A point of the item in window coordinates, `fraction` of its size from its corner.
    static QPointF pointIn(QQuickItem* target, QPointF fraction = {0.5, 0.5}) {
        return target->mapToScene(
            {target->width() * fraction.x(), target->height() * fraction.y()});
    }

    // The application loses or regains focus, as when another application is chosen.
    static void setApplicationActive(bool active);

    // Saves the window as screenshots/<name>.png under the build folder.
    void screenshot(const char* name);

    std::vector<std::string> heldVoices() const { return app.heldVoices(); }

    AppFixture app;

private:
    void sendKey(QEvent::Type type, const PhysicalKey& key, Qt::KeyboardModifiers modifiers,
                 bool autoRepeat);

    std::unique_ptr<MainWindow> mainWindow;
    ulong timestamp = 1000;
    // The keyboard's state, which the window system reports when focus comes back.
    std::set<quint32> keysDown;
};

} // namespace tunescrib::testing
