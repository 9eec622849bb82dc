#include "ui/x11_keyboard.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <array>

namespace tunescrib {
namespace {

Display* x11Display() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->display() : nullptr;
}

} // namespace

void makeAutoRepeatDetectable() {
    if (Display* display = x11Display()) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(display, True, &supported);
    }
}

std::vector<std::uint32_t> x11KeysDown() {
    Display* display = x11Display();
    if (display == nullptr) {
        return {};
    }
    std::array<char, 32> keymap{};
    XQueryKeymap(display, keymap.data());
    std::vector<std::uint32_t> down;
    for (std::uint32_t code = 0; code < 256; ++code) {
        if ((static_cast<unsigned char>(keymap[code / 8]) >> (code % 8)) & 1U) {
            down.push_back(code);
        }
    }
    return down;
}

} // namespace tunescrib
