#pragma once
// Opens the real window offscreen on a model with manual clock, scheduler, store and audio
// output, and drives it as a person would: physical keys (X11 keycodes through Qt's own
// window-system path, so shortcut overrides and auto-repeat flags are real), pointer
// presses, drags and releases, and screenshots saved for a person to look at.

#include "app_fixture.h"
#include "ui/main_window.h"

#include <QAccessible>
#include <QPointF>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
inline constexpr PhysicalKey keyW{25, Qt::Key_W, "w"};
inline constexpr PhysicalKey keyQ{24, Qt::Key_Q, "q"};
inline constexpr PhysicalKey keyEscape{9, Qt::Key_Escape, "\x1b"};
inline constexpr PhysicalKey keySpace{65, Qt::Key_Space, " "};
inline constexpr PhysicalKey keyControl{37, Qt::Key_Control, ""};

class WindowFixture : public ::testing::Test {
protected:
    using Audio = AppFixture::Audio;

    // Builds the model (reading app.store first) and opens the window, shown and active.
    void open(Audio audio = Audio::works);
    void TearDown() override;

    AppModel& m() { return app.m(); }
    QQuickWindow& window() { return *mainWindow->window(); }
    // The item (or other object) of that objectName; fails the test when there is none.
    QQuickItem* item(const QString& objectName);
    QObject* object(const QString& objectName);
    // A QML property of the named object.
    QVariant read(const QString& objectName, const char* property);
    // What a screen reader is told of the named item: its role and its name.
    QAccessible::Role accessibleRole(const QString& objectName);
    QString accessibleName(const QString& objectName);

    // Key events through the window system: press, release, or an X11 auto-repeat
    // (release + press, both flagged).
    void press(const PhysicalKey& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void release(const PhysicalKey& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void autoRepeat(const PhysicalKey& key);

    // Pointer events at window coordinates, through the window system.
    void pointerPress(QPointF at);
    void pointerMove(QPointF to);
    void pointerRelease(QPointF at);
    void click(const QString& objectName);
    // A point of the item in window coordinates, `fraction` of its size from its corner.
    QPointF pointIn(QQuickItem* item, QPointF fraction = {0.5, 0.5});

    // The application loses or regains focus, as when another application is chosen.
    void setApplicationActive(bool active);

    // Saves the window as screenshots/<name>.png under the build folder.
    void screenshot(const char* name);

    // Voices the synthesizer holds that are not fading.
    std::vector<std::string> heldVoices() const { return app.heldVoices(); }
    // How many times the model published `property` since the last call of this.
    int published(Property property);

    AppFixture app; // the model on manual clock, scheduler, store and audio output

private:
    void sendKey(QEvent::Type type, const PhysicalKey& key, Qt::KeyboardModifiers modifiers,
                 bool autoRepeat);

    std::unique_ptr<MainWindow> mainWindow;
    ulong timestamp = 1000;
};

} // namespace tunescrib::testing
