#include "ui/layout_key_caps.h"

#include "platform/x11_key_codes.h"
#include "ui/xkb_layout_key_caps.h"

#include <QGuiApplication>

#include <algorithm>

namespace tunescrib {

std::optional<QString> keyCapForKeysyms(std::span<const std::uint32_t> keysyms) {
    if (keysyms.size() != 1) {
        return std::nullopt;
    }
    const xkb_keysym_t keysym = keysyms.front();
    // A dead key types nothing until the next key; libxkbcommon maps none to a character,
    // but say so rather than trust a table.
    if (keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_greek) {
        return std::nullopt;
    }
    // Upper case by the character, not the keysym: libxkbcommon 1.5 turns ß into a keysym
    // that maps to no character.
    const char32_t codePoint = QChar::toUpper(xkb_keysym_to_utf32(keysym));
    if (codePoint == 0) {
        return std::nullopt;
    }
    const QString text = QString::fromUcs4(&codePoint, 1);
    const auto category = QChar::category(codePoint);
    const bool prints = QChar::isPrint(codePoint) && !QChar::isSpace(codePoint) &&
                        category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing &&
                        category != QChar::Other_PrivateUse;
    return prints ? std::optional(text) : std::nullopt;
}

XkbLayoutKeyCaps::XkbLayoutKeyCaps() : context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

std::optional<QString> XkbLayoutKeyCaps::capFor(std::uint16_t keyCode) const {
    // X11 and Wayland keymaps number the keys alike: the Linux scancode plus 8.
    const auto xkbKeycode = x11KeycodeForVirtualKeyCode(keyCode);
    if (!xkbKeycode || !state) {
        return std::nullopt;
    }
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state.get(), *xkbKeycode);
    if (layout == XKB_LAYOUT_INVALID) {
        return std::nullopt;
    }
    const xkb_keysym_t* keysyms = nullptr;
    const int count =
        xkb_keymap_key_get_syms_by_level(keymap.get(), *xkbKeycode, layout, 0, &keysyms);
    return keyCapForKeysyms(
        std::span<const std::uint32_t>(keysyms, static_cast<std::size_t>(std::max(count, 0))));
}

void XkbLayoutKeyCaps::setKeymap(XkbPointer<xkb_keymap> newKeymap, XkbPointer<xkb_state> newState) {
    state = std::move(newState);
    keymap = std::move(newKeymap);
}

bool XkbLayoutKeyCaps::setLayout(xkb_layout_index_t base, xkb_layout_index_t latched,
                                 xkb_layout_index_t locked) {
    if (!state) {
        return false;
    }
    const auto effective = [this] {
        return xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    };
    const xkb_layout_index_t before = effective();
    xkb_state_update_mask(state.get(), 0, 0, 0, base, latched, locked);
    return effective() != before;
}

std::unique_ptr<LayoutKeyCaps> connectLayoutKeyCaps() {
    const QString platform = qGuiApp != nullptr ? QGuiApplication::platformName() : QString();
    if (platform == QLatin1String("xcb")) {
        return connectX11LayoutKeyCaps();
    }
    if (platform == QLatin1String("wayland")) {
        return connectWaylandLayoutKeyCaps();
    }
    return nullptr;
}

} // namespace tunescrib
