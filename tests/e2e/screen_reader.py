"""A screen reader's view of the program: a D-Bus session of the session's own (the
accessibility bus starts on it by activation, as on a desktop), and pyatspi reading the
program's tree and hearing its events. pyatspi finds its buses from this process's
environment when first imported, so `start` comes first; one session per process."""

import json
import os
import re

import harness


def start(session):
    """Starts the accessibility bus on a D-Bus session of `session`'s own, stopped with it,
    and makes the program and this process use them."""
    session.start_dbus()
    # Qt offers its tree only when a screen reader says it runs, or when told to.
    session.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    os.environ.update({name: session.env[name] for name in (
        "DBUS_SESSION_BUS_ADDRESS", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "DISPLAY",
        "XDG_RUNTIME_DIR")})

    def ask(*args):
        return session.run("dbus-send", "--session", "--print-reply", *args,
                           capture_output=True, text=True, check=True, timeout=20).stdout
    # Started now, so that its launcher belongs to the session bus before the program asks
    # for it; stopped by pid before the session bus, as it takes its own bus along.
    ask("--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
    session.processes.append(int(ask(
        "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:org.a11y.Bus").split()[-1]))


def application(name="tunescrib", timeout=20):
    """The program's accessible application, once its window is active (has the keyboard)."""
    import pyatspi

    def active():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in map(desktop.getChildAtIndex, range(desktop.childCount)):
            if app is not None and app.name.lower() == name and app.childCount > 0 and \
                    app.getChildAtIndex(0).getState().contains(pyatspi.STATE_ACTIVE):
                return app
        return None
    return harness.wait_until(active, timeout, "no active accessible " + name, pause=0.1)


def nodes(root):
    """Every accessible below `root` as (role name, name, accessible), depth first."""
    found = []
    for child in map(root.getChildAtIndex, range(root.childCount)):
        if child is not None:
            found += [(child.getRoleName(), child.name, child)] + nodes(child)
    return found


KEY_NAME = re.compile(r"^([A-G]♯?-?\d+) \S+ .+$")


def key_names(app):
    """Accessible name of each on-screen key and key-map cell ("C4 ド A"), by note."""
    return {KEY_NAME.match(name).group(1): name for role, name, _ in nodes(app)
            if role == "push button" and KEY_NAME.match(name)}


class Listener:
    """Collects the name changes of accessibles, as (role name, new name), while `heard`
    pumps the GLib main context."""

    def __init__(self):
        import pyatspi
        self.events = []
        pyatspi.Registry.registerEventListener(
            lambda e: self.events.append((e.source.getRoleName(), e.source.name)),
            "object:property-change:accessible-name")

    def heard(self, role, name, timeout=3):
        """Whether an accessible of `role` came to be called `name` (or a name that `name`
        accepts, if a function) within the timeout."""
        from gi.repository import GLib
        context = GLib.MainContext.default()
        accepts = name if callable(name) else name.__eq__

        def heard():
            while context.iteration(False):
                pass
            return any(r == role and accepts(n) for r, n in self.events)
        return harness.wait_until(heard, timeout, pause=0.02)


if __name__ == "__main__":
    # For a session whose bus belongs to another user: run as that user, prints the names.
    print(json.dumps(key_names(application())))
