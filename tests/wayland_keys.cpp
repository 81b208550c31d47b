// SPDX-License-Identifier: GPL-3.0-or-later
// Types into a Wayland session as one keyboard that stays, as a physical one
// does: its keymap goes to the compositor once, at the start; then each line
// of standard input names a key (an xkb keysym name such as "Escape") to
// press and release. Prints "ready" once the keyboard exists and "typed
// NAME" after each key has reached the compositor.
//
// A tool that creates a keyboard per key (wtype) makes every X client of the
// session take up a new keymap just before its key arrives; this one shows
// what a real keyboard's keys do.
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>

namespace {

struct Globals
{
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *manager = nullptr;
};

void announce(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void withdraw(void *, wl_registry *, uint32_t)
{ }

const wl_registry_listener RegistryListener = {announce, withdraw};

uint32_t milliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// The key that gives `keysym` at the first level, as the compositor counts
// keys (evdev codes: xkb's minus 8); 0 when the keymap has none.
uint32_t evdevKeyFor(xkb_keymap *keymap, xkb_keysym_t keysym)
{
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t *symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &symbols);
        for (int i = 0; i < count; ++i) {
            if (symbols[i] == keysym && code >= 8)
                return code - 8;
        }
    }
    return 0;
}

} // namespace

int main()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wayland_keys: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.seat || !globals.manager) {
        std::fprintf(stderr, "wayland_keys: the compositor offers no virtual keyboard\n");
        return 1;
    }

    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap *keymap = context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    if (!text) {
        std::fprintf(stderr, "wayland_keys: no keymap\n");
        return 1;
    }
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("wayland_keys-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != ssize_t(size)) {
        std::fprintf(stderr, "wayland_keys: the keymap could not be written\n");
        return 1;
    }
    zwp_virtual_keyboard_v1 *keyboard
        = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.manager, globals.seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);
    if (wl_display_roundtrip(display) < 0) {
        std::fprintf(stderr, "wayland_keys: the compositor refused the keyboard\n");
        return 1;
    }
    std::cout << "ready" << std::endl;

    std::string name;
    while (std::getline(std::cin, name)) {
        const xkb_keysym_t keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
        const uint32_t key = keysym == XKB_KEY_NoSymbol ? 0 : evdevKeyFor(keymap, keysym);
        if (key == 0) {
            std::cout << "unknown " << name << std::endl;
            continue;
        }
        zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), key, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), key, WL_KEYBOARD_KEY_STATE_RELEASED);
        if (wl_display_roundtrip(display) < 0)
            return 1;
        std::cout << "typed " << name << std::endl;
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    wl_display_roundtrip(display);
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    wl_display_disconnect(display);
    return 0;
}
