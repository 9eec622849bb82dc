"""A private Wayland desktop: a headless sway (software rendering, no input devices of its
own), a D-Bus session and harness.Session's PulseAudio, the program native on Wayland or on
sway's XWayland. Keys and clicks go in through the compositor's virtual keyboard and
pointer (the wayland_input tool), read with the layout's keymap as a physical keyboard's.
sway refuses to run as root, so as root (as in CI) it runs as a user made for it."""

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


class WaylandSession(harness.Session):
    """One sway, sound server and program, the program on XWayland when `xwayland`."""

    def __init__(self, binary, input_tool, xwayland=False):
        super().__init__(binary)
        self.input_tool = input_tool
        self.xwayland = xwayland
        self.realtime_as = []  # runs the program as run_as says, allowed real-time threads
        if os.geteuid() == 0:
            if subprocess.run(["id", USER], capture_output=True).returncode != 0:
                subprocess.run(["useradd", "--system", "--no-create-home", "--shell",
                                "/usr/sbin/nologin", USER], check=True)
            user = pwd.getpwnam(USER)
            self.run_as = dict(user=user.pw_uid, group=user.pw_gid, extra_groups=[])
            # A desktop lets its user's program run real-time (RealtimeKit, or an rtprio
            # limit); without it a loaded machine makes it late and the tests hear gaps.
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
        with open(os.path.join(self.dir, "sway.log"), "w") as log:
            sway = self._spawn(["sway", "--config", config], stdout=log, stderr=log)
        runtime = self.env["XDG_RUNTIME_DIR"]

        def started(prefix):
            if sway.poll() is not None:
                raise RuntimeError("sway ended: " + self._sway_log())
            return next((n for n in os.listdir(runtime) if n.startswith(prefix)), None)
        self.env["SWAYSOCK"] = os.path.join(runtime, harness.wait_until(
            lambda: started("sway-ipc."), 20, lambda: "sway did not start: " + self._sway_log()))
        self.env["WAYLAND_DISPLAY"] = next(
            n for n in os.listdir(runtime) if n.startswith("wayland-") and "." not in n)
        if self.xwayland:
            # The X display of sway's XWayland, as sway tells the programs it starts.
            path = os.path.join(self.dir, "display")
            self.swaymsg("exec", "echo $DISPLAY > %s" % path)
            self.env["DISPLAY"] = harness.wait_until(
                lambda: os.path.exists(path) and open(path).read().strip(), 20,
                lambda: "sway started no XWayland: " + self._sway_log())
        self.input = self._spawn([self.input_tool], stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, text=True)
        self.set_layout("us")

    def _sway_log(self):
        return open(os.path.join(self.dir, "sway.log")).read()[-2000:]

    def swaymsg(self, *args, kind=None):
        done = self.run("swaymsg", *(["-t", kind] if kind else []), *args,
                        capture_output=True, text=True, timeout=20)
        if done.returncode != 0:
            raise RuntimeError("swaymsg %s: %s" % (" ".join(args), done.stdout + done.stderr))
        return done.stdout

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

        def nodes(node):
            yield node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from nodes(child)

        def shown():
            if self.app.poll() is not None:
                raise RuntimeError("tunescrib exited: " + self.app.stderr.read().decode())
            return next((node for node in nodes(json.loads(self.swaymsg(kind="get_tree")))
                         if node["focused"] and node["rect"]["width"] > 0 and (
                             node.get("app_id") == APP_ID or node.get("name") == "Tunescrib"
                             and node.get("shell") == "xwayland")), None)
        self.rect = harness.wait_until(shown, 30, lambda: "no focused tunescrib window: "
                                       + self.swaymsg(kind="get_tree"), pause=0.1)["rect"]
        time.sleep(0.5)  # first frame
        return self.app

    # -- input ----------------------------------------------------------------------------

    def _send(self, command):
        self.input.stdin.write(command + "\n")
        self.input.stdin.flush()
        answer = self.input.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError("wayland_input %r: %r" % (command, answer))

    def set_layout(self, layout):
        self._send("layout " + layout)

    def key(self, keycode, down):
        self._send(("down %d" if down else "up %d") % keycode)

    def move(self, x, y):
        self._send("move %d %d %d %d" % (self.rect["x"] + x, self.rect["y"] + y, *OUTPUT))

    def button(self, down):
        self._send("press" if down else "release")

    def screenshot(self, path):
        """Saves the output as a PNG for a person to look at."""
        own = os.path.join(self.dir, "shot.png")
        self.run("grim", own, check=True, timeout=20)
        shutil.copyfile(own, path)
