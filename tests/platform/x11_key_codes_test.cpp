#include "platform/key_event.h"
#include "platform/x11_key_codes.h"

#include <gtest/gtest.h>

#include <map>

namespace tunescrib {
namespace {

TEST(VirtualKeyCodeForX11, MapsPhysicalKeysToTheStoredKeyMapCodes) {
    constexpr int none = -1; // unknown and lock keys have no code
    struct Case {
        std::uint32_t x11;
        int code;
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
        {0, none, "0"},        {1, none, "1"},        {8, none, "8"},     {77, none, "Num Lock"},
        {78, none, "Scroll"},  {255, none, "255"},    {256, none, "256"}, {~0U, none, "~0"},
    };
    for (const auto& c : cases) {
        const auto code = virtualKeyCodeForX11(c.x11);
        EXPECT_EQ(code ? int{*code} : none, c.code) << c.key;
    }
}

TEST(VirtualKeyCodeForX11, IsOneToOneAndHasEveryModifierKey) {
    std::map<std::uint16_t, std::uint32_t> owner;
    int modifiers = 0;
    for (std::uint32_t x11 = 0; x11 < 1024; ++x11) {
        if (const auto code = virtualKeyCodeForX11(x11)) {
            EXPECT_TRUE(owner.emplace(*code, x11).second)
                << "X11 " << x11 << " and " << owner[*code] << " share code " << *code;
            modifiers += keycode::isModifier(*code) ? 1 : 0;
        }
    }
    EXPECT_EQ(modifiers, 9);
}

} // namespace
} // namespace tunescrib
