// The key-map panel: opened from the launcher, a chosen note waits for the next key,
// Escape cancels a wait before it closes anything, and no way of closing it leaves a
// capture running behind it.

#include "window_fixture.h"

namespace tunescrib::testing {
namespace {

const QString generalPrompt = QStringLiteral("JISの文字キー2段を音階と同じ並びで表示しています。音"
                                             "を選ぶと、次に押したPCキーへ割り当てます。");

class KeyMapPanel : public WindowFixture {
protected:
    void SetUp() override {
        open();
        click("mappingLauncher");
    }
    bool panelShown() { return read("keyMapPanel", "visible").toBool(); }
    QString prompt() { return read("mappingPrompt", "text").toString(); }
};

TEST_F(KeyMapPanel, OpensIdleAndAChosenNoteWaitsForAKey) {
    ASSERT_TRUE(panelShown());
    EXPECT_EQ(prompt(), generalPrompt);

    EXPECT_EQ(accessibleName("cell0"), "C4、PCキー A");
    click("cell0");
    EXPECT_EQ(m().mappingTarget(), 0);
    EXPECT_TRUE(read("cell0", "target").toBool());
    EXPECT_EQ(prompt(), "C4 に使いたいPCキーを押してください。Escで中止。");
    screenshot("key-map-waiting");

    click("cell13"); // another note moves the wait
    EXPECT_FALSE(read("cell0", "target").toBool());
    EXPECT_TRUE(read("cell13", "target").toBool());
    EXPECT_EQ(prompt(), "C♯5 に使いたいPCキーを押してください。Escで中止。");
}

TEST_F(KeyMapPanel, TheNextKeyIsCapturedThePanelStaysOpenAndResetUndoesIt) {
    click("cell0");
    press(keyQ);
    release(keyQ);
    EXPECT_EQ(read("notice", "text").toString(), "C4 のキーを変更しました");
    EXPECT_EQ(read("key0", "keyLabel").toString(), "Q");
    EXPECT_EQ(read("cell0", "keyLabel").toString(), "Q");
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(prompt(), generalPrompt);
    // Keys play while the panel is open.
    press(keyQ);
    EXPECT_EQ(heldVoices(), std::vector<std::string>{"keyboard:12"});
    release(keyQ);

    click("resetBindings");
    EXPECT_EQ(read("cell0", "keyLabel").toString(), "A");
    EXPECT_TRUE(panelShown());
}

TEST_F(KeyMapPanel, EscapeCancelsAWaitFirstAndClosesTheIdlePanelAfter) {
    click("cell0");
    press(keyEscape);
    release(keyEscape);
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(m().mappingTarget(), std::nullopt);
    EXPECT_EQ(read("notice", "text").toString(), "割り当て変更をキャンセルしました");

    press(keyEscape);
    release(keyEscape);
    EXPECT_FALSE(panelShown());
    EXPECT_FALSE(m().mappingOpen());
}

TEST_F(KeyMapPanel, AClickOutsideNeitherClosesItNorReachesTheWindowBeneath) {
    click("cell3");
    click("recordButton");
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(m().mappingTarget(), 3);
    EXPECT_FALSE(m().isRecording());
}

TEST_F(KeyMapPanel, EveryWayOfClosingEndsTheWait) {
    struct Case {
        const char* how;
        std::function<void()> close;
    };
    const Case cases[] = {
        {"close button", [this] { click("closeMapping"); }},
        {"model closes", [this] { m().setMappingOpen(false); }},
        {"popup closes itself",
         [this] { QMetaObject::invokeMethod(object("keyMapPanel"), "close"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        click("mappingLauncher");
        click("cell5");
        ASSERT_EQ(m().mappingTarget(), 5);
        const std::string noticeBefore = m().notice();
        c.close();
        EXPECT_FALSE(panelShown());
        EXPECT_FALSE(m().mappingOpen());
        EXPECT_EQ(m().mappingTarget(), std::nullopt);
        EXPECT_EQ(m().notice(), noticeBefore) << "closing sets no notice";
        // The next key plays instead of being captured.
        press(keyA);
        EXPECT_EQ(heldVoices(), std::vector<std::string>{"keyboard:0"});
        release(keyA);
    }
    // However it was closed, the launcher opens it again.
    click("mappingLauncher");
    EXPECT_TRUE(panelShown());
}

} // namespace
} // namespace tunescrib::testing
