#include "ui/xkb_layout_key_caps.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <xcb/xcb.h>
// The XKB protocol header names a member `explicit`, which C++ reserves.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#ifdef __clang__
#pragma clang diagnostic pop
#endif
#include <xkbcommon/xkbcommon-x11.h>

namespace tunescrib {

namespace {

// Reads the core keyboard's keymap and state from the server, again on every new keymap,
// and follows the layout in use through state events. The XKB events come on Qt's own
// connection, which already asks for them all; they are only looked at, never taken.
class X11LayoutKeyCaps final : public XkbLayoutKeyCaps, public QAbstractNativeEventFilter {
public:
    X11LayoutKeyCaps(xcb_connection_t* connection, std::uint8_t firstXkbEvent)
        : connection(connection), firstXkbEvent(firstXkbEvent) {
        reload();
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
    }
    ~X11LayoutKeyCaps() override {
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            dispatcher->removeNativeEventFilter(this);
        }
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
            if (setLayout(static_cast<xkb_layout_index_t>(xkbEvent->baseGroup),
                          static_cast<xkb_layout_index_t>(xkbEvent->latchedGroup),
                          xkbEvent->lockedGroup)) {
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
        setKeymap(nullptr, nullptr);
        if (!context || device < 0) {
            return;
        }
        XkbPointer<xkb_keymap> newKeymap(xkb_x11_keymap_new_from_device(
            context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
        XkbPointer<xkb_state> newState(
            newKeymap ? xkb_x11_state_new_from_device(newKeymap.get(), connection, device)
                      : nullptr);
        setKeymap(std::move(newKeymap), std::move(newState));
    }

    xcb_connection_t* connection;
    std::uint8_t firstXkbEvent;
};

} // namespace

std::unique_ptr<LayoutKeyCaps> connectX11LayoutKeyCaps() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
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
