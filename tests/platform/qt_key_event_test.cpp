#include "platform/qt_key_event.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace tunescrib {
namespace {

QKeyEvent qtKey(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
                const QString& text = {}, bool autoRepeat = false) {
    return QKeyEvent(type, key, modifiers, scanCode, 0, 0, text, autoRepeat);
}

TEST(KeyEventFromQt, CarriesKindCodeRepeatAndText) {
    const auto down = keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, "a"));
    ASSERT_TRUE(down);
    EXPECT_EQ(*down, (KeyEvent{KeyEventType::keyDown, 0, 0, false, "a"}));

    const auto up =
        keyEventFromQt(qtKey(QEvent::KeyRelease, Qt::Key_W, Qt::NoModifier, 25, "w", true));
    ASSERT_TRUE(up);
    EXPECT_EQ(*up, (KeyEvent{KeyEventType::keyUp, 0, 13, true, "w"}));

    const auto f1 = keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, 67));
    ASSERT_TRUE(f1);
    EXPECT_EQ(f1->charactersIgnoringModifiers, std::nullopt);
}

TEST(KeyEventFromQt, KeysWithoutACodeAreNotOffered) {
    // Scan code 0 is what synthetic events carry: unknown, not the A key.
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 0, "a")),
              std::nullopt);
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_NumLock, Qt::NoModifier, 77)),
              std::nullopt);
    EXPECT_EQ(keyEventFromQt(qtKey(QEvent::ShortcutOverride, Qt::Key_A, Qt::NoModifier, 38, "a")),
              std::nullopt);
}

TEST(KeyEventFromQt, MapsModifiersAndTakesTextWithoutControlAltOrSuper) {
    struct Case {
        Qt::KeyboardModifiers qt;
        std::uint64_t flags;
        QString text;
        std::string characters;
    };
    const Case cases[] = {
        {Qt::ShiftModifier, modifier::shift, "A", "A"},
        {Qt::ControlModifier, modifier::control, QString(QChar(1)), "a"},
        {Qt::AltModifier, modifier::option, "", "a"},
        {Qt::MetaModifier, modifier::command, "", "a"},
        {Qt::ControlModifier | Qt::ShiftModifier, modifier::control | modifier::shift,
         QString(QChar(1)), "A"},
        {Qt::KeypadModifier, modifier::numericPad, "a", "a"},
    };
    for (const auto& c : cases) {
        const auto event = keyEventFromQt(qtKey(QEvent::KeyPress, Qt::Key_A, c.qt, 38, c.text));
        ASSERT_TRUE(event);
        EXPECT_EQ(event->modifierFlags, c.flags) << c.characters;
        EXPECT_EQ(event->charactersIgnoringModifiers, c.characters) << c.flags;
    }
}

} // namespace
} // namespace tunescrib
