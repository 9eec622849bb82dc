#include "window_fixture.h"

#include <QAccessible>
#include <QDir>
#include <QGuiApplication>
#include <QtGui/qpa/qwindowsysteminterface.h>

namespace tunescrib::testing {

void WindowFixture::open(Audio audio) {
    app.start(audio);
    mainWindow = std::make_unique<MainWindow>(
        app.m(), [this] { return std::vector<std::uint32_t>(keysDown.begin(), keysDown.end()); });
    ASSERT_NE(mainWindow->window(), nullptr) << "the QML did not load";
    window().requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    ASSERT_EQ(QGuiApplication::applicationState(), Qt::ApplicationActive);
}

namespace {
// Repeater delegates and popup contents hang in the visual tree, not the object tree.
QQuickItem* findItem(QQuickItem* root, const QString& objectName) {
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
} // namespace

QObject* WindowFixture::object(const QString& objectName) {
    QObject* found = findItem(window().contentItem(), objectName);
    if (found == nullptr) {
        found = window().findChild<QObject*>(objectName);
    }
    EXPECT_NE(found, nullptr) << "no object named " << objectName.toStdString();
    return found;
}

QString WindowFixture::accessibleName(const QString& objectName) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object(objectName));
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

void WindowFixture::sendKey(QEvent::Type type, const PhysicalKey& key,
                            Qt::KeyboardModifiers modifiers, bool autoRepeat) {
    if (type == QEvent::KeyPress) {
        keysDown.insert(key.x11Keycode);
    } else if (!autoRepeat) {
        keysDown.erase(key.x11Keycode);
    }
    // Delivered at once: the test main makes window-system events synchronous.
    QWindowSystemInterface::handleExtendedKeyEvent(&window(), ++timestamp, type, key.key, modifiers,
                                                   key.x11Keycode, 0, 0,
                                                   QString::fromLatin1(key.text), autoRepeat);
}

void WindowFixture::autoRepeat(const PhysicalKey& key, Repeat form) {
    if (form == Repeat::bare) {
        sendKey(QEvent::KeyPress, key, Qt::NoModifier, false);
        return;
    }
    sendKey(QEvent::KeyRelease, key, Qt::NoModifier, true);
    --timestamp; // X11 stamps both halves of a repeat with the same server time
    sendKey(QEvent::KeyPress, key, Qt::NoModifier, true);
}

void WindowFixture::click(QQuickItem* target) {
    ASSERT_NE(target, nullptr);
    pointerPress(pointIn(target));
    pointerRelease(pointIn(target));
}

void WindowFixture::setApplicationActive(bool active) {
    QWindowSystemInterface::handleApplicationStateChanged(active ? Qt::ApplicationActive
                                                                 : Qt::ApplicationInactive);
}

void WindowFixture::screenshot(const char* name) {
    const QDir folder(QStringLiteral(TUNESCRIB_SCREENSHOT_DIR));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QImage image = window().grabWindow();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"))));
}

} // namespace tunescrib::testing
