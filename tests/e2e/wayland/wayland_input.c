/* Physical keys and pointer clicks for the whole-program tests on a wlroots compositor,
 * through its virtual keyboard and virtual pointer.
 *
 * Reads one command a line from standard input and answers "ok" once the compositor has
 * taken it (a round trip), or "error ..." on a bad command:
 *   layout NAME[ VARIANT]  compile and send the keymap of that XKB layout (first: before keys)
 *   down CODE, up CODE     X keycode (evdev code + 8): the key goes down or up; the modifier
 *                          state follows the keymap, as the compositor expects it from us
 *   move X Y W H           the pointer to (X, Y) of a W x H layout
 *   press, release         the left button
 * Exits at end of input. Needs WAYLAND_DISPLAY. */

#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

struct globals {
    struct wl_seat *seat;
    struct zwp_virtual_keyboard_manager_v1 *keyboards;
    struct zwlr_virtual_pointer_manager_v1 *pointers;
};

static void global_added(void *data, struct wl_registry *registry, uint32_t name,
                         const char *interface, uint32_t version) {
    struct globals *g = data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && g->seat == NULL) {
        g->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        g->keyboards =
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g->pointers =
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    }
}

static void global_removed(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global_added, global_removed};

static uint32_t now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

/* Sends the keymap of `layout` (and `variant`, may be empty); a new state for it in *state. */
static int send_keymap(struct zwp_virtual_keyboard_v1 *keyboard, struct xkb_context *context,
                       const char *layout, const char *variant, struct xkb_state **state) {
    const struct xkb_rule_names names = {"evdev", "pc105", layout, variant, NULL};
    struct xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, 0);
    if (keymap == NULL) {
        return -1;
    }
    char *text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    const int written = fd >= 0 && write(fd, text, size) == (ssize_t)size;
    free(text);
    if (!written) {
        if (fd >= 0) {
            close(fd);
        }
        xkb_keymap_unref(keymap);
        return -1;
    }
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   (uint32_t)size);
    close(fd);
    if (*state != NULL) {
        xkb_state_unref(*state);
    }
    *state = xkb_state_new(keymap);
    xkb_keymap_unref(keymap);
    return 0;
}

static void send_key(struct zwp_virtual_keyboard_v1 *keyboard, struct xkb_state *state,
                     uint32_t code, int down) {
    xkb_state_update_key(state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_key(keyboard, now_ms(), code - 8,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(
        keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
}

int main(void) {
    struct wl_display *display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "wayland_input: cannot connect to the compositor\n");
        return 1;
    }
    struct globals g = {0};
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &g);
    wl_display_roundtrip(display);
    if (g.seat == NULL || g.keyboards == NULL || g.pointers == NULL) {
        fprintf(stderr, "wayland_input: the compositor offers no seat, virtual keyboard or "
                        "virtual pointer\n");
        return 1;
    }
    struct zwp_virtual_keyboard_v1 *keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(g.keyboards, g.seat);
    struct zwlr_virtual_pointer_v1 *pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g.pointers, g.seat);
    struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_state *state = NULL;

    char line[256];
    while (fgets(line, sizeof line, stdin) != NULL) {
        char layout[64] = "", variant[64] = "";
        unsigned code = 0, x = 0, y = 0, w = 0, h = 0;
        int ok = 1;
        if (sscanf(line, "layout %63s %63s", layout, variant) >= 1) {
            ok = send_keymap(keyboard, context, layout, variant, &state) == 0;
        } else if (sscanf(line, "down %u", &code) == 1 && state != NULL) {
            send_key(keyboard, state, code, 1);
        } else if (sscanf(line, "up %u", &code) == 1 && state != NULL) {
            send_key(keyboard, state, code, 0);
        } else if (sscanf(line, "move %u %u %u %u", &x, &y, &w, &h) == 4) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, w, h);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (strncmp(line, "press", 5) == 0 || strncmp(line, "release", 7) == 0) {
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT,
                                           line[0] == 'p' ? WL_POINTER_BUTTON_STATE_PRESSED
                                                          : WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            ok = 0;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "wayland_input: the compositor closed the connection\n");
            return 1;
        }
        printf(ok ? "ok\n" : "error %s", line);
        fflush(stdout);
    }
    return 0;
}
