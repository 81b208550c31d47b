// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/XkbKeyboard.h"

#include <QChar>
#include <QList>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

namespace {

// evdev codes are offset by 8 in XKB's numbering.
constexpr quint32 EvdevToXkb = 8;

const std::pair<quint32, int> NamedKeys[] = {
    {XKB_KEY_Escape, Qt::Key_Escape},
    {XKB_KEY_Tab, Qt::Key_Tab},
    {XKB_KEY_ISO_Left_Tab, Qt::Key_Backtab},
    {XKB_KEY_BackSpace, Qt::Key_Backspace},
    {XKB_KEY_Return, Qt::Key_Return},
    {XKB_KEY_KP_Enter, Qt::Key_Enter},
    {XKB_KEY_Insert, Qt::Key_Insert},
    {XKB_KEY_KP_Insert, Qt::Key_Insert},
    {XKB_KEY_Delete, Qt::Key_Delete},
    {XKB_KEY_KP_Delete, Qt::Key_Delete},
    {XKB_KEY_Pause, Qt::Key_Pause},
    {XKB_KEY_Print, Qt::Key_Print},
    {XKB_KEY_Home, Qt::Key_Home},
    {XKB_KEY_KP_Home, Qt::Key_Home},
    {XKB_KEY_End, Qt::Key_End},
    {XKB_KEY_KP_End, Qt::Key_End},
    {XKB_KEY_Left, Qt::Key_Left},
    {XKB_KEY_KP_Left, Qt::Key_Left},
    {XKB_KEY_Up, Qt::Key_Up},
    {XKB_KEY_KP_Up, Qt::Key_Up},
    {XKB_KEY_Right, Qt::Key_Right},
    {XKB_KEY_KP_Right, Qt::Key_Right},
    {XKB_KEY_Down, Qt::Key_Down},
    {XKB_KEY_KP_Down, Qt::Key_Down},
    {XKB_KEY_Page_Up, Qt::Key_PageUp},
    {XKB_KEY_KP_Page_Up, Qt::Key_PageUp},
    {XKB_KEY_Page_Down, Qt::Key_PageDown},
    {XKB_KEY_KP_Page_Down, Qt::Key_PageDown},
    {XKB_KEY_Shift_L, Qt::Key_Shift},
    {XKB_KEY_Shift_R, Qt::Key_Shift},
    {XKB_KEY_Control_L, Qt::Key_Control},
    {XKB_KEY_Control_R, Qt::Key_Control},
    {XKB_KEY_Alt_L, Qt::Key_Alt},
    {XKB_KEY_Alt_R, Qt::Key_Alt},
    {XKB_KEY_ISO_Level3_Shift, Qt::Key_AltGr},
    {XKB_KEY_Meta_L, Qt::Key_Meta},
    {XKB_KEY_Meta_R, Qt::Key_Meta},
    {XKB_KEY_Super_L, Qt::Key_Super_L},
    {XKB_KEY_Super_R, Qt::Key_Super_R},
    {XKB_KEY_Menu, Qt::Key_Menu},
    {XKB_KEY_Caps_Lock, Qt::Key_CapsLock},
    {XKB_KEY_Num_Lock, Qt::Key_NumLock},
    {XKB_KEY_Scroll_Lock, Qt::Key_ScrollLock},
    {XKB_KEY_F1, Qt::Key_F1},
    {XKB_KEY_F2, Qt::Key_F2},
    {XKB_KEY_F3, Qt::Key_F3},
    {XKB_KEY_F4, Qt::Key_F4},
    {XKB_KEY_F5, Qt::Key_F5},
    {XKB_KEY_F6, Qt::Key_F6},
    {XKB_KEY_F7, Qt::Key_F7},
    {XKB_KEY_F8, Qt::Key_F8},
    {XKB_KEY_F9, Qt::Key_F9},
    {XKB_KEY_F10, Qt::Key_F10},
    {XKB_KEY_F11, Qt::Key_F11},
    {XKB_KEY_F12, Qt::Key_F12},
    {XKB_KEY_KP_Space, Qt::Key_Space},
    {XKB_KEY_KP_Add, Qt::Key_Plus},
    {XKB_KEY_KP_Subtract, Qt::Key_Minus},
    {XKB_KEY_KP_Multiply, Qt::Key_Asterisk},
    {XKB_KEY_KP_Divide, Qt::Key_Slash},
    {XKB_KEY_KP_Decimal, Qt::Key_Period},
    {XKB_KEY_KP_Separator, Qt::Key_Comma},
    {XKB_KEY_KP_0, Qt::Key_0},
    {XKB_KEY_KP_1, Qt::Key_1},
    {XKB_KEY_KP_2, Qt::Key_2},
    {XKB_KEY_KP_3, Qt::Key_3},
    {XKB_KEY_KP_4, Qt::Key_4},
    {XKB_KEY_KP_5, Qt::Key_5},
    {XKB_KEY_KP_6, Qt::Key_6},
    {XKB_KEY_KP_7, Qt::Key_7},
    {XKB_KEY_KP_8, Qt::Key_8},
    {XKB_KEY_KP_9, Qt::Key_9},
};

} // namespace

XkbKeyboard::XkbKeyboard(xkb_context *context, xkb_keymap *keymap)
    : m_context(context)
    , m_keymap(keymap)
    , m_state(xkb_state_new(keymap))
{ }

XkbKeyboard::~XkbKeyboard()
{
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

std::unique_ptr<XkbKeyboard> XkbKeyboard::fromKeymapText(const QByteArray &text)
{
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context)
        return nullptr;
    // The text a seat sends ends in a NUL; the parser wants none.
    QByteArray keymapText = text;
    while (keymapText.endsWith('\0'))
        keymapText.chop(1);
    xkb_keymap *keymap = xkb_keymap_new_from_buffer(context, keymapText.constData(), size_t(keymapText.size()),
        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeyboard>(new XkbKeyboard(context, keymap));
}

std::unique_ptr<XkbKeyboard> XkbKeyboard::fromNames(const char *layout, const char *variant)
{
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!context)
        return nullptr;
    xkb_rule_names names {};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layout;
    names.variant = variant;
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeyboard>(new XkbKeyboard(context, keymap));
}

int XkbKeyboard::qtKeyForKeysym(quint32 keysym)
{
    for (const auto &[sym, key] : NamedKeys) {
        if (sym == keysym)
            return key;
    }
    const quint32 codePoint = xkb_keysym_to_utf32(keysym);
    if (codePoint == 0 || codePoint < 0x20 || codePoint == 0x7f)
        return 0;
    // Qt names a character key by its upper case, in one code point.
    const QString upper = QString::fromUcs4(reinterpret_cast<const char32_t *>(&codePoint), 1).toUpper();
    const QList<uint> ucs4 = upper.toUcs4();
    return ucs4.size() == 1 ? int(ucs4.first()) : int(codePoint);
}

XkbKeyboard::Key XkbKeyboard::key(quint32 evdevCode) const
{
    const xkb_keycode_t code = evdevCode + EvdevToXkb;
    Key result;
    result.keysym = xkb_state_key_get_one_sym(m_state, code);
    result.key = qtKeyForKeysym(result.keysym);
    result.modifiers = modifiers();
    result.repeats = xkb_keymap_key_repeats(m_keymap, code) != 0;
    std::array<char, 64> utf8 {};
    const int length = xkb_state_key_get_utf8(m_state, code, utf8.data(), utf8.size());
    // Control characters are no text for a text field (Ctrl+A is a shortcut).
    if (length > 0 && static_cast<unsigned char>(utf8[0]) >= 0x20 && utf8[0] != 0x7f)
        result.text = QString::fromUtf8(utf8.data(), qMin(length, int(utf8.size()) - 1));
    if (result.keysym == XKB_KEY_ISO_Left_Tab) // Shift+Tab: Qt has it as Backtab with Shift held
        result.modifiers |= Qt::ShiftModifier;
    if (result.keysym >= XKB_KEY_KP_Space && result.keysym <= XKB_KEY_KP_9)
        result.modifiers |= Qt::KeypadModifier;
    return result;
}

void XkbKeyboard::updateModifiers(quint32 depressed, quint32 latched, quint32 locked, quint32 group)
{
    xkb_state_update_mask(m_state, depressed, latched, locked, 0, 0, group);
}

Qt::KeyboardModifiers XkbKeyboard::modifiers() const
{
    Qt::KeyboardModifiers result;
    const auto active = [this](const char *name) {
        return xkb_state_mod_name_is_active(m_state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT))
        result |= Qt::ShiftModifier;
    if (active(XKB_MOD_NAME_CTRL))
        result |= Qt::ControlModifier;
    if (active(XKB_MOD_NAME_ALT))
        result |= Qt::AltModifier;
    if (active(XKB_MOD_NAME_LOGO))
        result |= Qt::MetaModifier;
    return result;
}
