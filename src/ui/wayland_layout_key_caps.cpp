#include "ui/xkb_layout_key_caps.h"

#include <QSocketNotifier>

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace tunescrib {

namespace {

// Qt 6.4 keeps the compositor's keymap to itself, so a connection of our own asks the
// compositor for the seat's keyboard and reads the keymap it sends, again on every new
// keymap and layout switch. Everything is asynchronous: the connection is read from the
// event loop when its socket has data, and until a keymap arrives (or where the seat has
// no keyboard) there are no caps and the stored labels show.
class WaylandLayoutKeyCaps final : public XkbLayoutKeyCaps {
public:
    explicit WaylandLayoutKeyCaps(wl_display* display)
        : display(display), registry(wl_display_get_registry(display)),
          notifier(wl_display_get_fd(display), QSocketNotifier::Read) {
        wl_registry_add_listener(registry, &registryListener, this);
        connect(&notifier, &QSocketNotifier::activated, this, &WaylandLayoutKeyCaps::readEvents);
        wl_display_flush(display);
    }
    ~WaylandLayoutKeyCaps() override {
        notifier.setEnabled(false); // before its socket closes
        releaseKeyboard();
        if (seat != nullptr) {
            wl_seat_destroy(seat);
        }
        wl_registry_destroy(registry);
        wl_display_disconnect(display);
    }
    WaylandLayoutKeyCaps(const WaylandLayoutKeyCaps&) = delete;
    WaylandLayoutKeyCaps& operator=(const WaylandLayoutKeyCaps&) = delete;

private:
    void readEvents() {
        while (wl_display_prepare_read(display) != 0) {
            wl_display_dispatch_pending(display);
        }
        // The socket is readable and the read does not wait: libwayland reads without blocking.
        const bool read = wl_display_read_events(display) == 0;
        if (!read || wl_display_dispatch_pending(display) < 0) {
            // The compositor went away or broke the protocol: keep the stored labels.
            notifier.setEnabled(false);
            setKeymap(nullptr, nullptr);
            emit changed();
            return;
        }
        wl_display_flush(display);
    }

    void releaseKeyboard() {
        if (keyboard == nullptr) {
            return;
        }
        if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(keyboard);
        } else {
            wl_keyboard_destroy(keyboard);
        }
        keyboard = nullptr;
    }

    void global(wl_registry* from, std::uint32_t name, const char* interface,
                std::uint32_t version) {
        // The first seat is the user's; a desktop has one.
        if (seat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
            seat = static_cast<wl_seat*>(
                wl_registry_bind(from, name, &wl_seat_interface, std::min(version, 5U)));
            wl_seat_add_listener(seat, &seatListener, this);
        }
    }

    void capabilities(std::uint32_t caps) {
        const bool hasKeyboard = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        if (hasKeyboard && keyboard == nullptr) {
            keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(keyboard, &keyboardListener, this);
        } else if (!hasKeyboard && keyboard != nullptr) {
            releaseKeyboard();
            setKeymap(nullptr, nullptr);
            emit changed();
        }
    }

    void newKeymap(std::uint32_t format, int fd, std::uint32_t size) {
        XkbPointer<xkb_keymap> compiled;
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && context) {
            // Private: from version 7 on the compositor may share one read-only mapping.
            void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped != MAP_FAILED) {
                // The text ends with a NUL, but a compositor's word is not read past its size.
                const char* text = static_cast<const char*>(mapped);
                compiled.reset(xkb_keymap_new_from_buffer(context.get(), text, strnlen(text, size),
                                                          XKB_KEYMAP_FORMAT_TEXT_V1,
                                                          XKB_KEYMAP_COMPILE_NO_FLAGS));
                munmap(mapped, size);
            }
        }
        close(fd);
        XkbPointer<xkb_state> newState(compiled ? xkb_state_new(compiled.get()) : nullptr);
        setKeymap(std::move(compiled), std::move(newState));
        emit changed();
    }

    void modifiers(std::uint32_t group) {
        // Sent for every modifier press too: only a switch of layout changes the caps.
        if (setLayout(0, 0, group)) {
            emit changed();
        }
    }

    static WaylandLayoutKeyCaps* self(void* data) {
        return static_cast<WaylandLayoutKeyCaps*>(data);
    }

    // Defined below the class: their handlers call its members.
    static const wl_registry_listener registryListener;
    static const wl_seat_listener seatListener;
    static const wl_keyboard_listener keyboardListener;

    wl_display* display;
    wl_registry* registry;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    QSocketNotifier notifier;
};

const wl_registry_listener WaylandLayoutKeyCaps::registryListener{
    .global = [](void* data, wl_registry* from, std::uint32_t name, const char* interface,
                 std::uint32_t version) { self(data)->global(from, name, interface, version); },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};
const wl_seat_listener WaylandLayoutKeyCaps::seatListener{
    .capabilities = [](void* data, wl_seat*,
                       std::uint32_t caps) { self(data)->capabilities(caps); },
    .name = [](void*, wl_seat*, const char*) {},
};
const wl_keyboard_listener WaylandLayoutKeyCaps::keyboardListener{
    .keymap = [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                 std::uint32_t size) { self(data)->newKeymap(format, fd, size); },
    .enter = [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
    .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
    .key = [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .modifiers = [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                    std::uint32_t, std::uint32_t group) { self(data)->modifiers(group); },
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

} // namespace

std::unique_ptr<LayoutKeyCaps> connectWaylandLayoutKeyCaps() {
    // The compositor Qt talks to: WAYLAND_DISPLAY, as Qt's own connection read it.
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        return nullptr;
    }
    return std::make_unique<WaylandLayoutKeyCaps>(display);
}

} // namespace tunescrib
