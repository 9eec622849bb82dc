#include "ui/layout_key_caps.h"

#include "platform/x11_key_codes.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <xcb/xcb.h>
// The XKB protocol header names a member `explicit`, which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

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

namespace {

struct XkbDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
template <typename T> using XkbPointer = std::unique_ptr<T, XkbDeleter>;

// Reads the core keyboard's keymap and state from the server, again on every new keymap,
// and follows the layout in use through state events. The XKB events come on Qt's own
// connection, which already asks for them all; they are only looked at, never taken.
class X11LayoutKeyCaps final : public LayoutKeyCaps, public QAbstractNativeEventFilter {
public:
    X11LayoutKeyCaps(xcb_connection_t* connection, std::uint8_t firstXkbEvent)
        : connection(connection), firstXkbEvent(firstXkbEvent),
          context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
        reload();
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
    }
    ~X11LayoutKeyCaps() override {
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            dispatcher->removeNativeEventFilter(this);
        }
    }

    [[nodiscard]] std::optional<QString> capFor(std::uint16_t keyCode) const override {
        const auto x11Keycode = x11KeycodeForVirtualKeyCode(keyCode);
        if (!x11Keycode || !state) {
            return std::nullopt;
        }
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state.get(), *x11Keycode);
        if (layout == XKB_LAYOUT_INVALID) {
            return std::nullopt;
        }
        const xkb_keysym_t* keysyms = nullptr;
        const int count =
            xkb_keymap_key_get_syms_by_level(keymap.get(), *x11Keycode, layout, 0, &keysyms);
        return keyCapForKeysyms(
            std::span<const std::uint32_t>(keysyms, static_cast<std::size_t>(std::max(count, 0))));
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != firstXkbEvent) {
            return false;
        }
        const auto* xkbEvent = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
        switch (xkbEvent->xkbType) {
        case XCB_XKB_NEW_KEYBOARD_NOTIFY:
        case XCB_XKB_MAP_NOTIFY:
            reload();
            emit changed();
            break;
        case XCB_XKB_STATE_NOTIFY:
            // Sent for every modifier press too: only a switch of layout changes the caps.
            if (state && xkbEvent->group != currentLayout()) {
                xkb_state_update_mask(
                    state.get(), 0, 0, 0, static_cast<xkb_layout_index_t>(xkbEvent->baseGroup),
                    static_cast<xkb_layout_index_t>(xkbEvent->latchedGroup), xkbEvent->lockedGroup);
                emit changed();
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void reload() {
        const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
        state.reset();
        keymap.reset();
        if (!context || device < 0) {
            return;
        }
        keymap.reset(xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (keymap) {
            state.reset(xkb_x11_state_new_from_device(keymap.get(), connection, device));
        }
    }
    [[nodiscard]] xkb_layout_index_t currentLayout() const {
        return xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    }

    xcb_connection_t* connection;
    std::uint8_t firstXkbEvent;
    XkbPointer<xkb_context> context;
    XkbPointer<xkb_keymap> keymap;
    XkbPointer<xkb_state> state;
};

} // namespace

std::unique_ptr<LayoutKeyCaps> connectLayoutKeyCaps() {
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return nullptr;
    }
    std::uint8_t firstXkbEvent = 0;
    if (xkb_x11_setup_xkb_extension(
            x11->connection(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstXkbEvent, nullptr) == 0) {
        return nullptr;
    }
    return std::make_unique<X11LayoutKeyCaps>(x11->connection(), firstXkbEvent);
}

} // namespace tunescrib
