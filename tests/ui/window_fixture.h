#pragma once
// The real window on a model with manual clock, scheduler, store and audio output, driven
// as a person would: physical keys through Qt's own window-system path (so shortcut
// overrides and auto-repeat flags are real), the pointer, and screenshots to look at.

#include "app_fixture.h"
#include "ui/main_window.h"

#include <QDir>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtGui/qpa/qwindowsysteminterface.h>

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
inline constexpr PhysicalKey keyQ{24, Qt::Key_Q, "q"};
inline constexpr PhysicalKey keyEscape{9, Qt::Key_Escape, "\x1b"};

class WindowFixture : public ::testing::Test {
protected:
    using Audio = AppFixture::Audio;

    // Builds the model (reading app.store first) and opens the window, shown and active.
    void open(Audio audio = Audio::works) {
        app.start(audio);
        mainWindow = std::make_unique<MainWindow>(app.m(), [this] {
            return std::vector<std::uint32_t>(keysDown.begin(), keysDown.end());
        });
        ASSERT_NE(mainWindow->window(), nullptr) << "the QML did not load";
        window().requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
        ASSERT_EQ(QGuiApplication::applicationState(), Qt::ApplicationActive);
    }

    AppModel& m() { return app.m(); }
    QQuickWindow& window() { return *mainWindow->window(); }
    // The named object, Repeater delegates and popup contents (which hang in the visual
    // tree, not the object tree) included; fails the test when there is none.
    QObject* object(const QString& objectName) {
        QObject* found = findItem(window().contentItem(), objectName);
        if (found == nullptr) {
            found = window().findChild<QObject*>(objectName);
        }
        EXPECT_NE(found, nullptr) << "no object named " << objectName.toStdString();
        return found;
    }
    QQuickItem* item(const QString& objectName) {
        return qobject_cast<QQuickItem*>(object(objectName));
    }
    QVariant read(const QString& objectName, const char* property) {
        QObject* found = object(objectName);
        return found != nullptr ? found->property(property) : QVariant();
    }

    // Key events through the window system. An auto-repeat of a held key is a bare
    // unflagged press, as X11 sends it with detectable auto-repeat, or else a release +
    // press pair, both flagged (X11 without it, Wayland).
    void press(const PhysicalKey& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        sendKey(QEvent::KeyPress, key, modifiers, false);
    }
    void release(const PhysicalKey& key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        sendKey(QEvent::KeyRelease, key, modifiers, false);
    }
    enum class Repeat { bare, flaggedPair };
    void autoRepeat(const PhysicalKey& key, Repeat form = Repeat::bare) {
        if (form == Repeat::flaggedPair) {
            sendKey(QEvent::KeyRelease, key, Qt::NoModifier, true);
            --timestamp; // X11 stamps both halves of a repeat with the same server time
        }
        sendKey(QEvent::KeyPress, key, Qt::NoModifier, form == Repeat::flaggedPair);
    }
    // The key comes up while another application has focus: this window hears nothing.
    void releaseElsewhere(const PhysicalKey& key) { keysDown.erase(key.x11Keycode); }

    // The left button at window coordinates.
    void pointerPress(QPointF at) {
        QTest::mousePress(&window(), Qt::LeftButton, {}, at.toPoint());
    }
    void pointerRelease(QPointF at) {
        QTest::mouseRelease(&window(), Qt::LeftButton, {}, at.toPoint());
    }
    void click(QQuickItem* target) {
        ASSERT_NE(target, nullptr);
        pointerPress(pointIn(target));
        pointerRelease(pointIn(target));
    }
    void click(const QString& objectName) { click(item(objectName)); }
    // A point of the item in window coordinates, `fraction` of its size from its corner.
    static QPointF pointIn(QQuickItem* target, QPointF fraction = {0.5, 0.5}) {
        return target->mapToScene(
            {target->width() * fraction.x(), target->height() * fraction.y()});
    }

    // The application loses or regains focus, as when another application is chosen.
    static void setApplicationActive(bool active) {
        QWindowSystemInterface::handleApplicationStateChanged(active ? Qt::ApplicationActive
                                                                     : Qt::ApplicationInactive);
    }

    // Saves the window as screenshots/<name>.png under the build folder.
    void screenshot(const char* name) {
        const QDir folder(QStringLiteral(TUNESCRIB_SCREENSHOT_DIR));
        ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
        const QImage image = window().grabWindow();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(
            image.save(folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"))));
    }

    AppFixture app;

private:
    static QQuickItem* findItem(QQuickItem* root, const QString& objectName) {
        if (root->objectName() == objectName) {
            return root;
        }
        for (QQuickItem* child : root->childItems()) {
            if (QQuickItem* found = findItem(child, objectName)) {
                return found;
            }
        }
        return nullptr;
    }

    void sendKey(QEvent::Type type, const PhysicalKey& key, Qt::KeyboardModifiers modifiers,
                 bool autoRepeat) {
        if (type == QEvent::KeyPress) {
            keysDown.insert(key.x11Keycode);
        } else if (!autoRepeat) {
            keysDown.erase(key.x11Keycode);
        }
        // Delivered at once: the test main makes window-system events synchronous.
        QWindowSystemInterface::handleExtendedKeyEvent(&window(), ++timestamp, type, key.key,
                                                       modifiers, key.x11Keycode, 0, 0,
                                                       QString::fromLatin1(key.text), autoRepeat);
    }

    std::unique_ptr<MainWindow> mainWindow;
    ulong timestamp = 1000;
    // The keyboard's state, which the window system reports when focus comes back.
    std::set<quint32> keysDown;
};

} // namespace tunescrib::testing
