#include "platform/x11_key_codes.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace tunescrib {
namespace {

// X11 keycode (evdev + 8) -> virtual key code of the key in the same place on the
// keyboard the stored key maps were made for. Keys of the JIS layout (@ [ : ] ろ ¥
// 無変換 変換) and of the ISO one (the key left of Z) map to that keyboard's own
// keys in the same positions.
constexpr auto table = std::to_array<std::pair<std::uint32_t, std::uint16_t>>({
    {9, 53},    // Escape
    {10, 18},   // 1
    {11, 19},   // 2
    {12, 20},   // 3
    {13, 21},   // 4
    {14, 23},   // 5
    {15, 22},   // 6
    {16, 26},   // 7
    {17, 28},   // 8
    {18, 25},   // 9
    {19, 29},   // 0
    {20, 27},   // - (JIS -)
    {21, 24},   // = (JIS ^)
    {22, 51},   // Backspace
    {23, 48},   // Tab
    {24, 12},   // Q
    {25, 13},   // W
    {26, 14},   // E
    {27, 15},   // R
    {28, 17},   // T
    {29, 16},   // Y
    {30, 32},   // U
    {31, 34},   // I
    {32, 31},   // O
    {33, 35},   // P
    {34, 33},   // [ (JIS @)
    {35, 30},   // ] (JIS [)
    {36, 36},   // Return
    {37, 59},   // Left Control
    {38, 0},    // A
    {39, 1},    // S
    {40, 2},    // D
    {41, 3},    // F
    {42, 5},    // G
    {43, 4},    // H
    {44, 38},   // J
    {45, 40},   // K
    {46, 37},   // L
    {47, 41},   // ;
    {48, 39},   // ' (JIS :)
    {49, 50},   // ` (JIS 半角/全角)
    {50, 56},   // Left Shift
    {51, 42},   // backslash (JIS ])
    {52, 6},    // Z
    {53, 7},    // X
    {54, 8},    // C
    {55, 9},    // V
    {56, 11},   // B
    {57, 45},   // N
    {58, 46},   // M
    {59, 43},   // ,
    {60, 47},   // .
    {61, 44},   // /
    {62, 60},   // Right Shift
    {63, 67},   // keypad *
    {64, 58},   // Left Alt
    {65, 49},   // Space
    {66, 57},   // Caps Lock
    {67, 122},  // F1
    {68, 120},  // F2
    {69, 99},   // F3
    {70, 118},  // F4
    {71, 96},   // F5
    {72, 97},   // F6
    {73, 98},   // F7
    {74, 100},  // F8
    {75, 101},  // F9
    {76, 109},  // F10
    {79, 89},   // keypad 7
    {80, 91},   // keypad 8
    {81, 92},   // keypad 9
    {82, 78},   // keypad -
    {83, 86},   // keypad 4
    {84, 87},   // keypad 5
    {85, 88},   // keypad 6
    {86, 69},   // keypad +
    {87, 83},   // keypad 1
    {88, 84},   // keypad 2
    {89, 85},   // keypad 3
    {90, 82},   // keypad 0
    {91, 65},   // keypad .
    {94, 10},   // ISO key left of Z
    {95, 103},  // F11
    {96, 111},  // F12
    {97, 94},   // JIS ろ (\ _)
    {100, 104}, // JIS 変換 (right of Space)
    {102, 102}, // JIS 無変換 (left of Space)
    {103, 95},  // keypad JIS comma
    {104, 76},  // keypad Enter
    {105, 62},  // Right Control
    {106, 75},  // keypad /
    {108, 61},  // Right Alt (AltGr)
    {110, 115}, // Home
    {111, 126}, // Up
    {112, 116}, // Page Up
    {113, 123}, // Left
    {114, 124}, // Right
    {115, 119}, // End
    {116, 125}, // Down
    {117, 121}, // Page Down
    {118, 114}, // Insert (Help on that keyboard)
    {119, 117}, // Delete
    {125, 81},  // keypad =
    {132, 93},  // JIS ¥
    {133, 55},  // Left Super
    {134, 54},  // Right Super
    {191, 105}, // F13
    {192, 107}, // F14
    {193, 113}, // F15
    {194, 106}, // F16
    {195, 64},  // F17
    {196, 79},  // F18
    {197, 80},  // F19
    {198, 90},  // F20
});

constexpr bool sortedAndUnique() {
    for (std::size_t i = 1; i < std::size(table); ++i) {
        if (table[i - 1].first >= table[i].first) {
            return false;
        }
    }
    return true;
}
static_assert(sortedAndUnique(), "the lookup below is a binary search");

} // namespace

std::optional<std::uint16_t> virtualKeyCodeForX11(std::uint32_t x11Keycode) {
    const auto it =
        std::lower_bound(std::begin(table), std::end(table), x11Keycode,
                         [](const auto& entry, std::uint32_t key) { return entry.first < key; });
    if (it == std::end(table) || it->first != x11Keycode) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::uint32_t> x11KeycodeForVirtualKeyCode(std::uint16_t keyCode) {
    const auto it = std::find_if(std::begin(table), std::end(table),
                                 [&](const auto& entry) { return entry.second == keyCode; });
    if (it == std::end(table)) {
        return std::nullopt;
    }
    return it->first;
}

} // namespace tunescrib
