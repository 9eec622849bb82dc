#pragma once
// The key caps of a keymap compiled by libxkbcommon, whichever window system sent it: the
// X server (x11_layout_key_caps.cpp) or the Wayland compositor (wayland_layout_key_caps.cpp).

#include "ui/layout_key_caps.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tunescrib {

struct XkbDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
template <typename T> using XkbPointer = std::unique_ptr<T, XkbDeleter>;

// Caps from the keymap and state its subclass keeps current; none while it has no keymap.
class XkbLayoutKeyCaps : public LayoutKeyCaps {
public:
    XkbLayoutKeyCaps();

    [[nodiscard]] std::optional<QString> capFor(std::uint16_t keyCode) const final;

protected:
    // Replaces the keymap and its state (either may be null: no layout to read).
    void setKeymap(XkbPointer<xkb_keymap> newKeymap, XkbPointer<xkb_state> newState);
    // Follows a switch of layout; whether the layout in effect changed.
    bool setLayout(xkb_layout_index_t base, xkb_layout_index_t latched, xkb_layout_index_t locked);

    XkbPointer<xkb_context> context;
    XkbPointer<xkb_keymap> keymap;
    XkbPointer<xkb_state> state;
};

// Readers of the window system's layout, or null where it gives none.
std::unique_ptr<LayoutKeyCaps> connectX11LayoutKeyCaps();
std::unique_ptr<LayoutKeyCaps> connectWaylandLayoutKeyCaps();

} // namespace tunescrib
