// SPDX-License-Identifier: GPL-3.0-or-later
// Keys of a Wayland seat as the popover's layer surface hands them to Qt
// Quick, through real keymaps: what a user types must arrive as Qt's own
// platforms would deliver it.
#include "app/XkbKeyboard.h"

#include <QTest>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

namespace {
// XKB's modifier masks in the evdev keymaps: Shift, Lock, Control, Mod1 (Alt).
constexpr quint32 ShiftMask = 1u << 0;
constexpr quint32 ControlMask = 1u << 2;
constexpr quint32 NumLockMask = 1u << 4; // Mod2
} // namespace

class TestXkbKeys : public QObject
{
    Q_OBJECT
private slots:
    void namedKeys_data();
    void namedKeys();
    void lettersAreUpperCaseKeysWithTypedText();
    void shiftTabIsBacktab();
    void controlGivesAShortcutNotText();
    void aGermanLayoutTypesItsOwnLetters();
    void theKeypadFollowsNumLock();
    void keymapTextFromASeat();
    void aBrokenKeymapIsRefused();
    void keysymsWithoutQtNames();
};

void TestXkbKeys::namedKeys_data()
{
    QTest::addColumn<quint32>("evdev");
    QTest::addColumn<int>("qtKey");
    // Whether holding it repeats is the keymap's word: every key but the
    // modifiers, in the evdev keymaps.
    QTest::addColumn<bool>("repeats");
    QTest::newRow("escape closes sheets and the popover") << quint32(KEY_ESC) << int(Qt::Key_Escape) << true;
    QTest::newRow("return submits the form") << quint32(KEY_ENTER) << int(Qt::Key_Return) << true;
    QTest::newRow("keypad enter is enter") << quint32(KEY_KPENTER) << int(Qt::Key_Enter) << true;
    QTest::newRow("backspace repeats while held") << quint32(KEY_BACKSPACE) << int(Qt::Key_Backspace) << true;
    QTest::newRow("delete") << quint32(KEY_DELETE) << int(Qt::Key_Delete) << true;
    QTest::newRow("tab moves the focus") << quint32(KEY_TAB) << int(Qt::Key_Tab) << true;
    QTest::newRow("left walks the text") << quint32(KEY_LEFT) << int(Qt::Key_Left) << true;
    QTest::newRow("down walks the list") << quint32(KEY_DOWN) << int(Qt::Key_Down) << true;
    QTest::newRow("page up") << quint32(KEY_PAGEUP) << int(Qt::Key_PageUp) << true;
    QTest::newRow("home") << quint32(KEY_HOME) << int(Qt::Key_Home) << true;
    QTest::newRow("space types a space") << quint32(KEY_SPACE) << int(Qt::Key_Space) << true;
    QTest::newRow("shift alone does not repeat") << quint32(KEY_LEFTSHIFT) << int(Qt::Key_Shift) << false;
    QTest::newRow("f10") << quint32(KEY_F10) << int(Qt::Key_F10) << true;
}

void TestXkbKeys::namedKeys()
{
    QFETCH(quint32, evdev);
    QFETCH(int, qtKey);
    QFETCH(bool, repeats);
    const auto keyboard = XkbKeyboard::fromNames("us");
    QVERIFY(keyboard);
    const XkbKeyboard::Key key = keyboard->key(evdev);
    QCOMPARE(key.key, qtKey);
    QCOMPARE(key.repeats, repeats);
    QCOMPARE(key.modifiers & ~Qt::KeypadModifier, Qt::KeyboardModifiers());
}

void TestXkbKeys::lettersAreUpperCaseKeysWithTypedText()
{
    const auto keyboard = XkbKeyboard::fromNames("us");
    QVERIFY(keyboard);
    XkbKeyboard::Key a = keyboard->key(KEY_A);
    QCOMPARE(a.key, int(Qt::Key_A));
    QCOMPARE(a.text, QStringLiteral("a"));
    QCOMPARE(keyboard->key(KEY_1).text, QStringLiteral("1"));

    keyboard->updateModifiers(ShiftMask, 0, 0, 0);
    a = keyboard->key(KEY_A);
    QCOMPARE(a.key, int(Qt::Key_A));
    QCOMPARE(a.text, QStringLiteral("A"));
    QCOMPARE(a.modifiers, Qt::ShiftModifier);
    const XkbKeyboard::Key exclamation = keyboard->key(KEY_1);
    QCOMPARE(exclamation.key, int(Qt::Key_Exclam));
    QCOMPARE(exclamation.text, QStringLiteral("!"));

    keyboard->updateModifiers(0, 0, 0, 0);
    QCOMPARE(keyboard->key(KEY_A).text, QStringLiteral("a"));
    QCOMPARE(keyboard->modifiers(), Qt::KeyboardModifiers());
}

void TestXkbKeys::shiftTabIsBacktab()
{
    const auto keyboard = XkbKeyboard::fromNames("us");
    QVERIFY(keyboard);
    keyboard->updateModifiers(ShiftMask, 0, 0, 0);
    const XkbKeyboard::Key key = keyboard->key(KEY_TAB);
    QCOMPARE(key.key, int(Qt::Key_Backtab));
    QVERIFY(key.modifiers.testFlag(Qt::ShiftModifier));
    QVERIFY(key.text.isEmpty());
}

void TestXkbKeys::controlGivesAShortcutNotText()
{
    const auto keyboard = XkbKeyboard::fromNames("us");
    QVERIFY(keyboard);
    keyboard->updateModifiers(ControlMask, 0, 0, 0);
    const XkbKeyboard::Key key = keyboard->key(KEY_A);
    QCOMPARE(key.key, int(Qt::Key_A));
    QCOMPARE(key.modifiers, Qt::ControlModifier);
    // xkb gives Ctrl+A as the control character 0x01: no text for a field.
    QVERIFY(key.text.isEmpty());
}

void TestXkbKeys::aGermanLayoutTypesItsOwnLetters()
{
    const auto keyboard = XkbKeyboard::fromNames("de");
    QVERIFY(keyboard);
    // QWERTZ: the key right of T types z, and the one right of L types ö.
    const XkbKeyboard::Key z = keyboard->key(KEY_Y);
    QCOMPARE(z.key, int(Qt::Key_Z));
    QCOMPARE(z.text, QStringLiteral("z"));
    const XkbKeyboard::Key oUmlaut = keyboard->key(KEY_SEMICOLON);
    QCOMPARE(oUmlaut.key, int(Qt::Key_Odiaeresis));
    QCOMPARE(oUmlaut.text, QStringLiteral("ö"));
    keyboard->updateModifiers(ShiftMask, 0, 0, 0);
    QCOMPARE(keyboard->key(KEY_SEMICOLON).text, QStringLiteral("Ö"));
}

void TestXkbKeys::theKeypadFollowsNumLock()
{
    const auto keyboard = XkbKeyboard::fromNames("us");
    QVERIFY(keyboard);
    XkbKeyboard::Key seven = keyboard->key(KEY_KP7);
    QCOMPARE(seven.key, int(Qt::Key_Home));
    QVERIFY(seven.text.isEmpty());
    keyboard->updateModifiers(0, 0, NumLockMask, 0);
    seven = keyboard->key(KEY_KP7);
    QCOMPARE(seven.key, int(Qt::Key_7));
    QCOMPARE(seven.text, QStringLiteral("7"));
    QVERIFY(seven.modifiers.testFlag(Qt::KeypadModifier));
}

void TestXkbKeys::keymapTextFromASeat()
{
    // What a compositor sends: the keymap as text, with a NUL at its end.
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    QVERIFY(context);
    xkb_rule_names names {};
    names.layout = "de";
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    QVERIFY(keymap);
    char *keymapText = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    QByteArray text(keymapText);
    std::free(keymapText);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    text.append('\0');

    const auto keyboard = XkbKeyboard::fromKeymapText(text);
    QVERIFY(keyboard);
    QCOMPARE(keyboard->key(KEY_Y).text, QStringLiteral("z"));
    QCOMPARE(keyboard->key(KEY_ESC).key, int(Qt::Key_Escape));
}

void TestXkbKeys::aBrokenKeymapIsRefused()
{
    QVERIFY(!XkbKeyboard::fromKeymapText(QByteArray("xkb_keymap { this is not a keymap")));
    QVERIFY(!XkbKeyboard::fromKeymapText(QByteArray()));
    QVERIFY(!XkbKeyboard::fromKeymapText(QByteArray(4096, '\0')));
}

void TestXkbKeys::keysymsWithoutQtNames()
{
    // Cyrillic: Qt names it by its upper-case code point.
    QCOMPARE(XkbKeyboard::qtKeyForKeysym(0x6c1 /* Cyrillic_a */), 0x410);
    // A dead key and an unknown keysym are no character.
    QCOMPARE(XkbKeyboard::qtKeyForKeysym(0xfe51 /* dead_acute */), 0);
    QCOMPARE(XkbKeyboard::qtKeyForKeysym(0x0), 0);
    // ß has no single upper-case code point: it stays itself.
    QCOMPARE(XkbKeyboard::qtKeyForKeysym(0xdf /* ssharp */), 0xdf);
}

QTEST_APPLESS_MAIN(TestXkbKeys)
#include "tst_xkbkeys.moc"
