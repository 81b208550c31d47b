// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <Qt>

#include <memory>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// A keyboard as the compositor describes it: its keymap and the state of
// its modifiers, turning the evdev key codes a Wayland seat sends into Qt's
// keys and text.
class XkbKeyboard
{
public:
    // From the keymap text a wl_keyboard sends; null when it does not parse.
    static std::unique_ptr<XkbKeyboard> fromKeymapText(const QByteArray &text);
    // From rule names, as the desktop's settings give them ("de", "nodeadkeys").
    static std::unique_ptr<XkbKeyboard> fromNames(const char *layout, const char *variant = nullptr);
    ~XkbKeyboard();
    XkbKeyboard(const XkbKeyboard &) = delete;
    XkbKeyboard &operator=(const XkbKeyboard &) = delete;

    struct Key
    {
        int key = 0; // Qt::Key, or 0 for a key Qt has no name for
        Qt::KeyboardModifiers modifiers;
        QString text;
        quint32 keysym = 0;
        bool repeats = false;
    };
    // The key at `evdevCode` (as wl_keyboard.key gives it) with the
    // modifiers as they are now.
    Key key(quint32 evdevCode) const;
    // wl_keyboard.modifiers.
    void updateModifiers(quint32 depressed, quint32 latched, quint32 locked, quint32 group);
    Qt::KeyboardModifiers modifiers() const;

    // Qt's key for a keysym: named keys from the table, printable ones as
    // their upper-case character (what Qt's own platforms report).
    static int qtKeyForKeysym(quint32 keysym);

private:
    XkbKeyboard(xkb_context *context, xkb_keymap *keymap);

    xkb_context *m_context;
    xkb_keymap *m_keymap;
    xkb_state *m_state;
};
