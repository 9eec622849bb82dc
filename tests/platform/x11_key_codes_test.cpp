#include "platform/key_event.h"
#include "platform/x11_key_codes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tunescrib {
namespace {

TEST(VirtualKeyCodeForX11, MapsPhysicalKeysToTheStoredKeyMapCodes) {
    struct Case {
        std::uint32_t x11;
        std::uint16_t code;
        const char* key;
    };
    // The 20 keys of the default key map in note order, then others.
    const Case cases[] = {
        {38, 0, "A"},          {25, 13, "W"},         {39, 1, "S"},       {26, 14, "E"},
        {40, 2, "D"},          {41, 3, "F"},          {28, 17, "T"},      {42, 5, "G"},
        {29, 16, "Y"},         {43, 4, "H"},          {30, 32, "U"},      {44, 38, "J"},
        {45, 40, "K"},         {32, 31, "O"},         {46, 37, "L"},      {33, 35, "P"},
        {47, 41, ";"},         {48, 39, "JIS :"},     {34, 33, "JIS @"},  {51, 42, "JIS ]"},
        {9, 53, "Escape"},     {65, 49, "Space"},     {36, 36, "Return"}, {23, 48, "Tab"},
        {22, 51, "Backspace"}, {119, 117, "Delete"},  {111, 126, "Up"},   {67, 122, "F1"},
        {10, 18, "1"},         {104, 76, "KP Enter"}, {97, 94, "JIS ろ"}, {132, 93, "JIS ¥"},
        {50, 56, "Shift"},     {133, 55, "Super"},    {108, 61, "AltGr"}, {66, 57, "Caps Lock"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(virtualKeyCodeForX11(c.x11), std::optional<std::uint16_t>(c.code)) << c.key;
    }
}

TEST(VirtualKeyCodeForX11, UnknownAndLockKeysHaveNoCode) {
    for (const std::uint32_t x11 :
         {0U, 1U, 8U, 77U /* Num Lock */, 78U /* Scroll Lock */, 255U, 256U, 0xFFFFFFFFU}) {
        EXPECT_EQ(virtualKeyCodeForX11(x11), std::nullopt) << x11;
    }
}

TEST(VirtualKeyCodeForX11, IsOneToOneWithOnlyAGivingZeroAndEveryModifierKeyPresent) {
    std::map<std::uint16_t, std::uint32_t> owner;
    std::set<std::uint16_t> modifiers;
    for (std::uint32_t x11 = 0; x11 < 1024; ++x11) {
        const auto code = virtualKeyCodeForX11(x11);
        if (!code) {
            continue;
        }
        EXPECT_TRUE(owner.emplace(*code, x11).second)
            << "X11 " << x11 << " and " << owner[*code] << " share code " << *code;
        if (keycode::isModifier(*code)) {
            modifiers.insert(*code);
        }
    }
    EXPECT_EQ(owner.at(keycode::a), 38U);
    EXPECT_EQ(modifiers.size(), 9U);
}

} // namespace
} // namespace tunescrib
