#include "platform/qt_key_event.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

QKeyEvent qtKey(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
                const QString& text = {}, bool autoRepeat = false) {
    return QKeyEvent(type, key, modifiers, scanCode, 0, 0, text, autoRepeat);
}

TEST(KeyEventFromQt, CarriesKindCodeAndRepeatOfKeysWithACodeOnly) {
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_A, {}, 38, "a")),
              (KeyEvent{KeyEventType::keyDown, 0, 0, false, "a"}));
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyRelease, Qt::Key_W, {}, 25, "w", true)),
              (KeyEvent{KeyEventType::keyUp, 0, 13, true, "w"}));
    // Scan code 0 is what synthetic events carry: unknown, not the A key.
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_A, {}, 0, "a")), std::nullopt);
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_NumLock, {}, 77)), std::nullopt);
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::ShortcutOverride, Qt::Key_A, {}, 38, "a")),
              std::nullopt);
}

TEST(KeyEventFromQt, MapsModifiersAndTakesTextWithoutControlAltOrSuper) {
    struct Case {
        Qt::KeyboardModifiers qt;
        std::uint64_t flags;
        QString text;
        std::optional<std::string> characters;
    };
    const Case cases[] = {
        {Qt::NoModifier, 0, "", std::nullopt},
        {Qt::ShiftModifier, modifier::shift, "A", "A"},
        {Qt::ControlModifier, modifier::control, QString(QChar(1)), "a"},
        {Qt::AltModifier, modifier::option, "", "a"},
        {Qt::MetaModifier, modifier::command, "", "a"},
        {Qt::ControlModifier | Qt::ShiftModifier, modifier::control | modifier::shift,
         QString(QChar(1)), "A"},
        {Qt::KeypadModifier, modifier::numericPad, "a", "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_A, c.qt, 38, c.text)),
                  (KeyEvent{KeyEventType::keyDown, c.flags, 0, false, c.characters}))
            << c.flags;
    }
}

} // namespace
} // namespace tunescrib
