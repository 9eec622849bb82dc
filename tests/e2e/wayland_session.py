"""A private Wayland desktop for whole-program tests: a headless sway (software rendering, no
input devices of its own), a D-Bus session and the PulseAudio of harness.Session, with the
program either native on Wayland or on sway's XWayland.

sway refuses to run as root, so as root (as in CI) the whole session runs as an
unprivileged user made for it. Keys go in by X keycode and clicks by position through the
compositor's virtual keyboard and pointer (the wayland_input tool), so they reach the
program exactly as a physical keyboard's would, read with the layout's real keymap.
"""

import json
import os
import pwd
import shutil
import subprocess
import time

import harness

USER = "tunescrib-e2e"
OUTPUT = (1600, 1000)
APP_ID = "io.github.tunescrib"

SWAY_CONFIG = """\
output HEADLESS-1 resolution %dx%d
default_border none
default_floating_border none
focus_on_window_activation focus
for_window [app_id="%s"] floating enable, move position 0 0
for_window [class="tunescrib"] floating enable, move position 0 0
""" % (OUTPUT[0], OUTPUT[1], APP_ID)


def _test_user():
    """The unprivileged user the session runs as when the tests run as root."""
    try:
        return pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell",
                        "/usr/sbin/nologin", USER], check=True)
        return pwd.getpwnam(USER)


class WaylandSession(harness.Session):
    """One sway, one sound server and one program; `xwayland` runs the program as an X
    client of sway's XWayland instead of natively."""

    def __init__(self, binary, input_tool, xwayland=False):
        super().__init__(binary)
        self.input_tool = input_tool
        self.xwayland = xwayland
        self.input = None
        self.sway_log = None
        self.layout = "us"
        # Starts the program as run_as says, with the right to real-time scheduling.
        self.realtime_as = []
        if os.geteuid() == 0:
            user = _test_user()
            self.run_as = dict(user=user.pw_uid, group=user.pw_gid, extra_groups=[])
            # A desktop lets its user's sound server and program run real-time (RealtimeKit,
            # which this machine has not, or an rtprio limit); without it a loaded machine
            # makes them late and the tests hear the gaps. The sound server's threads are
            # granted theirs by the harness.
            self.realtime_as = ["setpriv", "--reuid=%d" % user.pw_uid,
                                "--regid=%d" % user.pw_gid, "--clear-groups",
                                "--inh-caps=+sys_nice", "--ambient-caps=+sys_nice", "--"]
            os.chmod(self.dir, 0o755)
            for root, dirs, files in os.walk(self.dir):
                for name in dirs + files + ["."]:
                    os.chown(os.path.join(root, name), user.pw_uid, user.pw_gid)

    def _start_x(self):
        self.start_dbus()
        config = os.path.join(self.dir, "sway.conf")
        with open(config, "w") as f:
            f.write(SWAY_CONFIG)
        self.env.update(WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                        WLR_LIBINPUT_NO_DEVICES="1", XDG_SESSION_TYPE="wayland")
        self.sway_log = open(os.path.join(self.dir, "sway.log"), "w")
        self.sway = self._spawn(["sway", "--config", config], stdout=self.sway_log,
                                stderr=subprocess.STDOUT)
        runtime = self.env["XDG_RUNTIME_DIR"]
        deadline = time.monotonic() + 20
        while not any(n.startswith("sway-ipc.") for n in os.listdir(runtime)):
            if self.sway.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("sway did not start: " + self._sway_log())
            time.sleep(0.05)
        self.env["SWAYSOCK"] = os.path.join(
            runtime, next(n for n in os.listdir(runtime) if n.startswith("sway-ipc.")))
        self.env["WAYLAND_DISPLAY"] = next(
            n for n in os.listdir(runtime) if n.startswith("wayland-") and "." not in n)
        if self.xwayland:
            self.env["DISPLAY"] = self._xwayland_display()
        self.input = subprocess.Popen([self.input_tool], env=self.env, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True, **self.run_as)
        self.processes.append(self.input)
        self.set_layout(self.layout)

    def _xwayland_display(self):
        """The X display sway's XWayland serves, as sway tells the programs it starts."""
        path = os.path.join(self.dir, "display")
        self.swaymsg("exec", "echo $DISPLAY > %s" % path)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if os.path.exists(path):
                with open(path) as f:
                    display = f.read().strip()
                if display:
                    return display
            time.sleep(0.05)
        raise RuntimeError("sway started no XWayland: " + self._sway_log())

    def _sway_log(self):
        with open(os.path.join(self.dir, "sway.log")) as f:
            return f.read()[-2000:]

    def swaymsg(self, *args, kind=None):
        command = ["swaymsg"] + (["-t", kind] if kind else []) + list(args)
        done = subprocess.run(command, env=self.env, capture_output=True, text=True,
                              timeout=20, **self.run_as)
        if done.returncode != 0:
            raise RuntimeError("swaymsg %s: %s" % (" ".join(args), done.stdout + done.stderr))
        return done.stdout

    def close(self):
        if self.input is not None:
            self.input.stdin.close()
            self.input.stdout.close()
        super().close()
        if self.sway_log is not None:
            self.sway_log.close()

    # -- the program ----------------------------------------------------------------------

    def start_app(self, *args):
        """Starts tunescrib and returns once its window shows and has the focus."""
        env = dict(self.env)
        if self.xwayland:
            env["QT_QPA_PLATFORM"] = "xcb"  # as where the Qt Wayland plugin is missing
        else:
            env.pop("DISPLAY", None)
        self.app = subprocess.Popen([*self.realtime_as, self.binary, *args], env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE,
                                    **({} if self.realtime_as else self.run_as))
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            node = self.app_node()
            if node is not None and node["focused"] and node["rect"]["width"] > 0:
                self.rect = node["rect"]
                time.sleep(0.5)  # first frame
                return self.app
            if self.app.poll() is not None:
                raise RuntimeError("tunescrib exited: " + self.app.stderr.read().decode())
            time.sleep(0.1)
        raise RuntimeError("no focused tunescrib window: " + self.swaymsg(kind="get_tree"))

    def app_node(self):
        """The program's window in sway's tree, or None."""
        def walk(node):
            shell = node.get("shell")
            if (shell == "xdg_shell" and node.get("app_id") == APP_ID) or (
                    shell == "xwayland" and node.get("name") == "Tunescrib"):
                return node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = walk(child)
                if found is not None:
                    return found
            return None
        return walk(json.loads(self.swaymsg(kind="get_tree")))

    # -- input ----------------------------------------------------------------------------

    def _send(self, command):
        self.input.stdin.write(command + "\n")
        self.input.stdin.flush()
        answer = self.input.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError("wayland_input %r: %r" % (command, answer))

    def set_layout(self, layout):
        self.layout = layout
        self._send("layout " + layout)

    def key(self, keycode, down):
        self._send(("down %d" if down else "up %d") % keycode)

    def click(self, x, y):
        """Presses and releases the left button at window coordinates (x, y)."""
        self._send("move %d %d %d %d" % (self.rect["x"] + x, self.rect["y"] + y, *OUTPUT))
        self._send("press")
        time.sleep(0.05)
        self._send("release")

    def focus_away(self):
        """An empty workspace takes the keyboard, as when the user switches away."""
        self.swaymsg("workspace", "2")

    def focus_back(self):
        self.swaymsg("workspace", "1")

    def screenshot(self, path):
        """Saves the output as a PNG for a person to look at."""
        own = os.path.join(self.dir, "shot.png")
        subprocess.run(["grim", own], env=self.env, check=True, timeout=20, **self.run_as)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(own, path)
