# SPDX-License-Identifier: GPL-3.0-or-later
"""The desktop portal's Settings interface as a desktop with a colour scheme
has it, on the session bus: org.freedesktop.appearance color-scheme is the
number given (0 none, 1 dark, 2 light). SIGUSR1 switches between dark and
light and says so with SettingChanged, as the portal does when the user
switches. Prints "ready" once it owns the portal's name."""
import signal
import sys

from gi.repository import Gio, GLib

NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
INTERFACE = "org.freedesktop.portal.Settings"
NAMESPACE = "org.freedesktop.appearance"
KEY = "color-scheme"

XML = """
<node>
  <interface name="org.freedesktop.portal.Settings">
    <method name="ReadAll">
      <arg type="as" name="namespaces" direction="in"/>
      <arg type="a{sa{sv}}" name="value" direction="out"/>
    </method>
    <method name="Read">
      <arg type="s" name="namespace" direction="in"/>
      <arg type="s" name="key" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <method name="ReadOne">
      <arg type="s" name="namespace" direction="in"/>
      <arg type="s" name="key" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <signal name="SettingChanged">
      <arg type="s" name="namespace"/>
      <arg type="s" name="key"/>
      <arg type="v" name="value"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
</node>
"""

scheme = int(sys.argv[1]) if len(sys.argv) > 1 else 1
connection = None


def call(conn, sender, path, interface, method, params, invocation):
    if method == "ReadAll":
        wanted = params.unpack()[0]
        settings = {}
        if not wanted or any(NAMESPACE.startswith(w.rstrip("*")) for w in wanted):
            settings[NAMESPACE] = {KEY: GLib.Variant("u", scheme)}
        invocation.return_value(GLib.Variant("(a{sa{sv}})", (settings,)))
        return
    namespace, key = params.unpack()
    if (namespace, key) != (NAMESPACE, KEY):
        invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "Requested setting not found")
        return
    value = GLib.Variant("u", scheme)
    if method == "Read":  # the older form: the value wrapped once more
        value = GLib.Variant("v", value)
    invocation.return_value(GLib.Variant("(v)", (value,)))


def get_property(conn, sender, path, interface, name):
    return GLib.Variant("u", 2) if name == "version" else None


def switch():
    global scheme
    scheme = 2 if scheme == 1 else 1
    connection.emit_signal(None, PATH, INTERFACE, "SettingChanged",
                           GLib.Variant("(ssv)", (NAMESPACE, KEY, GLib.Variant("u", scheme))))
    print("scheme", scheme, flush=True)
    return GLib.SOURCE_CONTINUE


def acquired(conn, name):
    print("ready", flush=True)


def lost(conn, name):
    print("could not own", name, file=sys.stderr, flush=True)
    loop.quit()


connection = Gio.bus_get_sync(Gio.BusType.SESSION)
node = Gio.DBusNodeInfo.new_for_xml(XML)
connection.register_object(PATH, node.interfaces[0], call, get_property, None)
Gio.bus_own_name_on_connection(connection, NAME, Gio.BusNameOwnerFlags.DO_NOT_QUEUE, acquired, lost)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, switch)
loop = GLib.MainLoop()
loop.run()
