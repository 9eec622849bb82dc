"""A private accessibility bus for whole-program tests, and a screen reader's view of the
program through it: a D-Bus session bus of the session's own (the accessibility bus
launcher is started on it by activation, as on a desktop), and pyatspi reading the
program's tree and hearing its events as Orca would.

pyatspi finds its buses from this process's environment when it is first imported, so
`start` must run before `tree` or `listen`; one session per process (ctest runs each test
in a process of its own)."""

import json
import os
import re
import subprocess
import time

import harness


def start(session):
    """Starts the session bus inside `session`'s folder, stopped with the session, and makes
    the program and this process use it. Returns the environment entries it set."""
    session.start_dbus()
    entries = {"DBUS_SESSION_BUS_ADDRESS": session.env["DBUS_SESSION_BUS_ADDRESS"],
               # Qt offers its tree only when a screen reader says it runs, or when told to.
               "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
    session.env.update(entries)
    os.environ.update(entries)
    os.environ["DISPLAY"] = session.env["DISPLAY"]
    os.environ["XDG_RUNTIME_DIR"] = session.env["XDG_RUNTIME_DIR"]
    # The accessibility bus itself: started now, so that its launcher belongs to the session
    # bus (and goes with it) before the program asks for it.
    subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply",
                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=session.env, check=True,
                   stdout=subprocess.DEVNULL, timeout=20)
    # Stopped by pid with the session, before the session bus: it takes its own bus along.
    reply = subprocess.run(["dbus-send", "--session", "--dest=org.freedesktop.DBus",
                            "--print-reply", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.GetConnectionUnixProcessID",
                            "string:org.a11y.Bus"], env=session.env, check=True,
                           capture_output=True, text=True, timeout=20).stdout
    session.processes.append(harness._Launched(int(reply.split()[-1])))
    return entries


def application(name="tunescrib", timeout=20):
    """The program's accessible application, once its window is active (has the keyboard)."""
    import pyatspi
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name.lower() == name and app.childCount > 0 and \
                    app.getChildAtIndex(0).getState().contains(pyatspi.STATE_ACTIVE):
                return app
        time.sleep(0.1)
    raise RuntimeError("no active accessible application named %r" % name)


def wait_for_state(node, state, present, timeout=3):
    """Whether `node` came to have (or lose) `state` within the timeout. Qt 6.4 sends no
    event for most state changes, which is what keeps a client's cache fresh, so the state
    is asked of the program each time."""
    deadline = time.monotonic() + timeout
    while True:
        node.clear_cache()
        if node.getState().contains(state) == present:
            break
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def nodes(root):
    """Every accessible below `root` as (role name, name, accessible), depth first."""
    found = []
    stack = [root]
    while stack:
        node = stack.pop()
        for index in reversed(range(node.childCount)):
            child = node.getChildAtIndex(index)
            if child is not None:
                found.append((child.getRoleName(), child.name, child))
                stack.append(child)
    return found


KEY_NAME = re.compile(r"^([A-G]♯?-?\d+) \S+ .+$")


def key_names(app):
    """Accessible name of each on-screen key and key-map cell ("C4 ド A"), by note."""
    names = {}
    for role, name, _ in nodes(app):
        match = KEY_NAME.match(name)
        if role == "push button" and match:
            names[match.group(1)] = name
    return names


def named(root, role, name):
    """The one accessible with that role and name, or None."""
    for node_role, node_name, node in nodes(root):
        if node_role == role and node_name == name:
            return node
    return None


class Listener:
    """Collects the events of `kinds` ("object:property-change:accessible-name", ...) while
    the GLib main context is pumped by `wait_for`."""

    def __init__(self, *kinds):
        import pyatspi
        self.events = []
        self.kinds = kinds
        pyatspi.Registry.registerEventListener(self._heard, *kinds)

    def _heard(self, event):
        self.events.append((event.type, event.source.name, event.source.getRoleName(),
                            event.detail1))

    def wait_for(self, predicate, timeout=3):
        """Pumps events until one satisfies `predicate`; returns it, or None at the timeout."""
        from gi.repository import GLib
        context = GLib.MainContext.default()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while context.iteration(False):
                pass
            for event in self.events:
                if predicate(*event):
                    return event
            time.sleep(0.02)
        return None


if __name__ == "__main__":
    # For a session whose bus belongs to another user: run as that user, prints the names.
    print(json.dumps(key_names(application())))
