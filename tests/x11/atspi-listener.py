#!/usr/bin/python3
# A screen reader's ears on the test desktop, for the session bus in
# DBUS_SESSION_BUS_ADDRESS: starts the accessibility bus (at-spi-bus-launcher,
# whose bus starts the registry, at-spi2-registryd), switches it on as a
# screen reader does, and prints "focus ROLE: NAME" for every object that
# takes the focus. Says "ready" once it listens. When a part of the stack
# dies it names it on standard error and exits 1 at once.
# The system's Python: the Debian packages (python3-pyatspi) are built for it.
import os
import signal
import subprocess
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
REGISTRY = "org.a11y.atspi.Registry"


def fail(message):
    print("atspi-listener: " + message, file=sys.stderr, flush=True)
    os._exit(1)


def call(bus, destination, path, interface, method, args=None, reply=None):
    return bus.call_sync(destination, path, interface, method, args, reply, Gio.DBusCallFlags.NONE, 5000, None)


def wait_for_name(bus, name, process):
    """Returns once `name` has an owner on `bus`; fails when `process` died first."""
    loop = GLib.MainLoop()
    watch = Gio.bus_watch_name_on_connection(bus, name, Gio.BusNameWatcherFlags.NONE,
                                             lambda *_: loop.quit(), None)
    timeout = GLib.timeout_add_seconds(10, lambda: fail(name + " did not appear"))
    check = GLib.timeout_add(50, lambda: process.poll() is None or fail(
        "the accessibility bus launcher (at-spi-bus-launcher) did not start"))
    loop.run()
    for source in (timeout, check):
        GLib.source_remove(source)
    Gio.bus_unwatch_name(watch)


def main():
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    # Settings it keeps (the screen reader switch) stay in this process.
    env = dict(os.environ, GSETTINGS_BACKEND="memory")
    launcher = subprocess.Popen([LAUNCHER, "--launch-immediately"], env=env)
    wait_for_name(session, "org.a11y.Bus", launcher)
    # What Orca does at start: programs switch their bridges on when they see it.
    call(session, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
         GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled", GLib.Variant("b", True))))
    address = call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                   reply=GLib.VariantType("(s)")).unpack()[0]
    a11y = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None, None)

    import pyatspi  # after the bus is up: it looks for it once, when loaded

    def focused(event):
        if event.detail1:
            print("focus %s: %s" % (event.source.getRoleName(), event.source.name), flush=True)

    # Registering asks the registry, which the accessibility bus starts.
    pyatspi.Registry.registerEventListener(focused, "object:state-changed:focused")
    wait_for_name(a11y, REGISTRY, launcher)
    stopping = []

    def registry_gone(*_):
        # The launcher takes its bus and so the registry with it: name the first to go.
        if launcher.poll() is not None:
            fail("the accessibility bus launcher (at-spi-bus-launcher) is gone")
        fail("the registry (at-spi2-registryd) is gone")

    Gio.bus_watch_name_on_connection(a11y, REGISTRY, Gio.BusNameWatcherFlags.NONE, None, registry_gone)
    GLib.child_watch_add(GLib.PRIORITY_HIGH, launcher.pid, lambda *_: stopping or fail(
        "the accessibility bus launcher (at-spi-bus-launcher) is gone"))

    def stop():
        stopping.append(True)
        launcher.terminate()
        launcher.wait()
        os._exit(0)

    GLib.unix_signal_add(GLib.PRIORITY_HIGH, signal.SIGTERM, stop)
    print("ready", flush=True)
    pyatspi.Registry.start()


if __name__ == "__main__":
    main()
