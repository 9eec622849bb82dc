// What a key's cap shows from the symbols the layout gives its unshifted level.

#include "ui/layout_key_caps.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <vector>

namespace tunescrib {
namespace {

TEST(LayoutKeyCaps, OneCharacterThatPrintsIsTheCapAndAnythingElseFallsBack) {
    struct Case {
        std::vector<std::uint32_t> keysyms;
        const char* cap; // nullptr: the stored label shows
    };
    const Case cases[] = {
        {{XKB_KEY_a}, "A"},
        {{XKB_KEY_bracketleft}, "["},
        {{XKB_KEY_udiaeresis}, "Ü"},
        {{XKB_KEY_kana_CHI}, "チ"},
        {{XKB_KEY_ssharp}, "ß"}, // its capital is two letters: kept as it is
        {{}, nullptr},
        {{XKB_KEY_a, XKB_KEY_b}, nullptr}, // a key that types several characters
        {{XKB_KEY_dead_circumflex}, nullptr},
        {{XKB_KEY_space}, nullptr},
        {{XKB_KEY_nobreakspace}, nullptr},
        {{XKB_KEY_Tab}, nullptr},
        {{XKB_KEY_Shift_L}, nullptr},
        {{XKB_KEY_NoSymbol}, nullptr},
        {{0x1000301}, nullptr}, // U+0301 COMBINING ACUTE ACCENT
        {{0x100e000}, nullptr}, // U+E000, private use
        {{0x10000ad}, nullptr}, // U+00AD SOFT HYPHEN, a format character
        {{0x101f3b9}, "🎹"},     // beyond the Basic Multilingual Plane
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << (c.keysyms.empty() ? 0 : c.keysyms[0]));
        const auto cap = keyCapForKeysyms(c.keysyms);
        if (c.cap == nullptr) {
            EXPECT_FALSE(cap.has_value()) << cap->toStdString();
        } else {
            ASSERT_TRUE(cap.has_value());
            EXPECT_EQ(*cap, QString::fromUtf8(c.cap));
        }
    }
}

} // namespace
} // namespace tunescrib
