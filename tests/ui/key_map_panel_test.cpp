// The key-map panel: a chosen note waits for the next key, Escape cancels a wait before it
// closes anything, and no way of closing it leaves a capture running behind it.

#include "window_fixture.h"

#include <QAccessible>

namespace tunescrib::testing {
namespace {

const QString generalPrompt = QStringLiteral("JISの文字キー2段を音階と同じ並びで表示しています。音"
                                             "を選ぶと、次に押したPCキーへ割り当てます。");

// Counts the Shift presses that reach the window past the application's filters.
class ShiftPressesReachingWindow : public QObject {
public:
    explicit ShiftPressesReachingWindow(QWindow* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += static_cast<int>(event->type() == QEvent::KeyPress &&
                                  static_cast<QKeyEvent*>(event)->key() == Qt::Key_Shift);
        return false;
    }
};

class KeyMapPanel : public WindowFixture {
protected:
    void SetUp() override {
        open();
        click("mappingLauncher");
    }
    bool panelShown() { return read("keyMapPanel", "visible").toBool(); }
    QString prompt() { return read("mappingPrompt", "text").toString(); }
};

TEST_F(KeyMapPanel, AChosenNoteWaitsForTheNextKeyAndThePanelStaysOpen) {
    ASSERT_TRUE(panelShown());
    EXPECT_EQ(prompt(), generalPrompt);
    click("cell13");
    click("cell0"); // another note moves the wait
    EXPECT_FALSE(read("cell13", "target").toBool());
    EXPECT_TRUE(read("cell0", "target").toBool());
    EXPECT_EQ(prompt(), "C4 に使いたいPCキーを押してください。Escで中止。");
    screenshot("key-map-waiting");
    click("recordButton"); // outside: neither closes the panel nor reaches the window beneath
    EXPECT_FALSE(m().isRecording());
    // Shift pressed alone is not offered to the model at all: the wait goes on and the
    // event goes on to the window.
    const PhysicalKey shift{50, Qt::Key_Shift, ""};
    ShiftPressesReachingWindow shiftPresses(&window());
    press(shift);
    release(shift);
    EXPECT_EQ(shiftPresses.count, 1);
    EXPECT_EQ(m().mappingTarget(), 0);
    press(keyQ);
    release(keyQ);
    EXPECT_EQ(read("notice", "text").toString(), "C4 のキーを変更しました");
    EXPECT_EQ(read("key0", "keyLabel").toString(), "Q");
    EXPECT_EQ(read("cell0", "keyLabel").toString(), "Q");
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(prompt(), generalPrompt);
    // Keys play while the panel is open; a lit key is a button announced as pressed.
    QAccessibleInterface* key = QAccessible::queryAccessibleInterface(item("key0"));
    EXPECT_EQ(key->role(), QAccessible::Button);
    EXPECT_EQ(key->text(QAccessible::Name), "C4 ド Q");
    EXPECT_FALSE(key->state().pressed);
    press(keyQ);
    EXPECT_EQ(app.heldVoices(), std::vector<std::string>{"keyboard:12"});
    EXPECT_TRUE(key->state().pressed);
    release(keyQ);
    click("resetBindings");
    EXPECT_EQ(read("cell0", "keyLabel").toString(), "A");
    EXPECT_TRUE(panelShown());
}

TEST_F(KeyMapPanel, WorksFromTheKeyboardAlone) {
    constexpr PhysicalKey tab{23, Qt::Key_Tab, "\t"}, left{113, Qt::Key_Left, ""},
        right{114, Qt::Key_Right, ""}, up{111, Qt::Key_Up, ""}, enter{36, Qt::Key_Return, "\r"};
    struct Step {
        PhysicalKey key;
        const char* focused; // the cell with the keyboard's focus after the key
        int target;          // the note waiting for a key, -1 for none
    };
    const Step steps[] = {
        {right, "cell0", -1}, {tab, "cell1", -1},  {right, "cell2", -1},
        {up, "cell3", -1},    {left, "cell2", -1}, {enter, "cell2", 2},
        {keyQ, "cell2", -1},  {enter, "cell2", 2}, {keyEscape, "cell2", -1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << step.key.x11Keycode << " to " << step.focused);
        press(step.key);
        release(step.key);
        QQuickItem* focused = window().activeFocusItem();
        EXPECT_EQ(focused != nullptr ? focused->objectName() : QString(), step.focused);
        EXPECT_EQ(m().mappingTarget().value_or(-1), step.target);
    }
    EXPECT_TRUE(panelShown()) << "Escape closed the panel instead of ending the wait";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(item("cell2"))->text(QAccessible::Name),
              "D4 レ Q");
    press(keyEscape);
    release(keyEscape);
    EXPECT_FALSE(panelShown());
}

// Closed by Qt rather than by its button (which the shortcut table presses) or the model,
// the panel still ends the wait, quietly, and the launcher opens it again.
TEST_F(KeyMapPanel, ClosingItselfItEndsTheWait) {
    click("cell5");
    const std::string noticeBefore = m().notice();
    QMetaObject::invokeMethod(object("keyMapPanel"), "close");
    EXPECT_FALSE(panelShown());
    EXPECT_FALSE(m().mappingOpen());
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_EQ(m().notice(), noticeBefore) << "closing sets no notice";
    click("mappingLauncher");
    EXPECT_TRUE(panelShown());
}

} // namespace
} // namespace tunescrib::testing
