"""A private desktop for the whole-program tests: Xvfb on a free display, openbox, a
PulseAudio with a 48 kHz null sink and the real tunescrib, in one temporary folder and all
stopped by pid when the session ends, also when a test fails. Keys go in by X keycode
through XTEST, read through the server's layout as a physical key's; the sink's monitor is
read as parec records it."""

import contextlib
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time
import zlib

import numpy
from Xlib import X, display as xdisplay
from Xlib.ext import xtest

RATE = 48000
QUIET = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
SINK = ["module-null-sink", "sink_name=testsink", "rate=48000", "format=float32le", "channels=2"]
PULSE_PRIORITY = 5  # what PulseAudio asks RealtimeKit for


def wait_until(done, timeout, failure=None, pause=0.05):
    """The first true value `done` returns. At the timeout, a RuntimeError that says
    `failure` (called for the text when a function), or without one the last false value."""
    deadline = time.monotonic() + timeout
    while True:
        result = done()
        if result or (failure is None and time.monotonic() > deadline):
            return result
        if time.monotonic() > deadline:
            raise RuntimeError(failure() if callable(failure) else failure)
        time.sleep(pause)


def alive(pid):
    with contextlib.suppress(OSError):
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    return False


def end(proc, sig=signal.SIGTERM):
    """Stops a Popen, or a pid some other process started: `sig`, then SIGKILL if it still
    runs 5 s later (frozen, or deaf to the signal)."""
    popen = not isinstance(proc, int)
    if popen and proc.poll() is not None:
        return
    pid = proc.pid if popen else proc
    with contextlib.suppress(ProcessLookupError):
        os.kill(pid, sig)
    wait_until(lambda: not alive(pid), 5)
    with contextlib.suppress(ProcessLookupError):
        os.kill(pid, signal.SIGKILL)
    if popen:
        proc.wait()


class Session:
    """One desktop, one sound server and one program; use as a context manager."""

    def __init__(self, binary):
        self.binary = binary
        self.dir = tempfile.mkdtemp(prefix="tunescrib-e2e-")
        self.config_home = os.path.join(self.dir, "config")
        self.processes = []  # Popens and pids, stopped in reverse order
        self.app = self.x = self.pulse = None
        self.run_as = {}  # Popen arguments for every process started: a user to run as
        self.env = {k: v for k, v in os.environ.items() if k not in (
            "DISPLAY", "WAYLAND_DISPLAY", "PULSE_SERVER", "QT_QPA_PLATFORM",
            "DBUS_SESSION_BUS_ADDRESS")}
        self.env.update(HOME=os.path.join(self.dir, "home"),
                        XDG_RUNTIME_DIR=os.path.join(self.dir, "runtime"),
                        XDG_CONFIG_HOME=self.config_home,
                        PULSE_CLIENTCONFIG=os.path.join(self.dir, "client.conf"))
        os.makedirs(self.env["HOME"])
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        # A client must never start a stray server of its own after a test kills ours.
        with open(self.env["PULSE_CLIENTCONFIG"], "w") as f:
            f.write("autospawn = no\n")

    def __enter__(self):
        try:
            self._start_x()
            self.start_pulse()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        self.stop_app()
        self.stop_pulse()
        for proc in reversed(self.processes):
            end(proc)
        self.processes.clear()
        if self.x is not None:
            with contextlib.suppress(Exception):
                self.x.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def _spawn(self, args, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("env", self.env)
        proc = subprocess.Popen(args, **self.run_as, **kwargs)
        self.processes.append(proc)
        return proc

    def run(self, *args, **kwargs):
        return subprocess.run(args, env=self.env, **self.run_as, **kwargs)

    def xdotool(self, *args):
        self.run("xdotool", *args, check=True)

    def pactl(self, *args, check=True):
        """What pactl prints; with `check`, raises when it fails."""
        return self.run("pactl", *args, capture_output=True, text=True, check=check).stdout

    def _spawn_announcing(self, args):
        """Starts a server that writes one line (its address) to the descriptor `args` name
        as "{fd}" once it listens, and returns that line."""
        read_fd, write_fd = os.pipe()
        self._spawn([arg.format(fd=write_fd) for arg in args], pass_fds=(write_fd,), **QUIET)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            line = pipe.readline().strip()
        if not line:
            raise RuntimeError(args[0] + " did not start")
        return line

    def _start_x(self):
        number = self._spawn_announcing(["Xvfb", "-displayfd", "{fd}", "-screen", "0",
                                         "1600x1000x24", "-nolisten", "tcp", "-noreset"])
        self.env["DISPLAY"] = ":" + number
        self.x = xdisplay.Display(self.env["DISPLAY"])
        self._spawn(["openbox", "--sm-disable"], **QUIET)

    def start_pulse(self):
        self.pulse = self._spawn(["pulseaudio", "-n", "--exit-idle-time=-1", "--disallow-exit",
                                  "--use-pid-file=no", "-L", "module-native-protocol-unix",
                                  "-L", " ".join(SINK), "-L", "module-suspend-on-idle timeout=1"],
                                 **QUIET)
        wait_until(lambda: self.pactl("info", check=False), 10, "PulseAudio did not answer")
        # Real-time threads, as a desktop's RealtimeKit grants them (where the tests may):
        # without them a busy machine makes the server late and the tests hear gaps.
        with contextlib.suppress(PermissionError):
            for thread in os.listdir("/proc/%d/task" % self.pulse_pid()):
                os.sched_setscheduler(int(thread), os.SCHED_RR, os.sched_param(PULSE_PRIORITY))

    def start_dbus(self):
        """A private D-Bus session, listening when this returns."""
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._spawn_announcing(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + path,
             "--print-address={fd}"])

    def pulse_pid(self):
        return self.pulse.pid

    def stop_pulse(self, sig=signal.SIGTERM):
        if self.pulse is not None:
            end(self.pulse, sig)

    # -- the program ----------------------------------------------------------------------

    def start_app(self, *args):
        """Starts tunescrib and returns once its window is mapped and has the focus."""
        self.app = subprocess.Popen([self.binary, *args], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE)
        self.window = self.wait_for_window("Tunescrib")
        time.sleep(0.5)  # first frame and focus
        return self.app

    def launch_desktop_entry(self, path):
        """Starts the program from its entry, as a desktop does; the pid its window gives."""
        self.run("gio", "launch", path, check=True, timeout=30, **QUIET)
        self.window = self.wait_for_window("Tunescrib")
        pid = self.window.get_full_property(self.x.intern_atom("_NET_WM_PID"),
                                            X.AnyPropertyType).value[0]
        self.processes.append(pid)
        time.sleep(0.5)  # first frame and focus
        return pid

    def wait_for_window(self, title):
        def shown():
            if self.app is not None and self.app.poll() is not None:
                raise RuntimeError("tunescrib exited: " + self.app.stderr.read().decode())
            found = self.run("xdotool", "search", "--onlyvisible", "--name", "^%s$" % title,
                             capture_output=True, text=True).stdout.split()
            return found and self.x.create_resource_object("window", int(found[0]))
        return wait_until(shown, 30, "no window titled %r" % title, pause=0.1)

    def stop_app(self):
        if self.app is not None:
            end(self.app)
            self.app = None

    def cpu_seconds(self):
        """User plus system CPU time the program has used so far."""
        with open("/proc/%d/stat" % self.app.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    # -- input ----------------------------------------------------------------------------

    def set_layout(self, layout):
        self.run("setxkbmap", layout, check=True)

    def key(self, keycode, down):
        xtest.fake_input(self.x, X.KeyPress if down else X.KeyRelease, keycode)
        self.x.sync()

    def tap(self, keycode, seconds):
        self.key(keycode, True)
        time.sleep(seconds)
        self.key(keycode, False)

    def play_fast(self, notes, keys=(39, 40, 41, 42, 43, 44, 45)):
        """Plays `notes` notes as fast as X takes them, on `keys` in turn (not to look like
        auto-repeat), until the program catches up: a second using under 10 % of a core."""
        for i in range(notes):
            xtest.fake_input(self.x, X.KeyPress, keys[i % len(keys)])
            xtest.fake_input(self.x, X.KeyRelease, keys[i % len(keys)])
            if i % 100 == 99:
                self.x.sync()
        self.x.sync()
        while True:
            before = self.cpu_seconds()
            time.sleep(1.0)
            if self.cpu_seconds() - before < 0.1:
                return

    def move(self, x, y):
        """Moves the pointer to window coordinates (x, y)."""
        origin = self.window.translate_coords(self.x.screen().root, 0, 0)
        xtest.fake_input(self.x, X.MotionNotify, x=x - origin.x, y=y - origin.y)
        self.x.sync()

    def button(self, down):
        xtest.fake_input(self.x, X.ButtonPress if down else X.ButtonRelease, 1)
        self.x.sync()

    def click(self, x, y):
        self.move(x, y)
        self.button(True)
        time.sleep(0.05)
        self.button(False)

    # -- output ---------------------------------------------------------------------------

    def sink_state(self):
        """The test sink's state as pactl words it: RUNNING, IDLE or SUSPENDED."""
        rows = [row.split("\t") for row in self.pactl("list", "sinks", "short").splitlines()]
        return next((row[4] for row in rows if row[1:2] == ["testsink"]), None)

    def settle_sink(self):
        """A null sink with nothing playing renders far ahead: a suspend and resume makes a
        new recording stream start now rather than up to two seconds late."""
        for state in ("1", "0"):
            self.pactl("suspend-sink", "testsink", state, check=False)

    def screenshot(self, path):
        """Saves the whole screen as a PNG for a person to look at."""
        screen = self.x.screen()
        w, h = screen.width_in_pixels, screen.height_in_pixels
        raw = screen.root.get_image(0, 0, w, h, X.ZPixmap, 0xFFFFFFFF).data
        rgb = numpy.frombuffer(raw, dtype=numpy.uint8).reshape(h, w, 4)[:, :, 2::-1]
        rows = numpy.concatenate((numpy.zeros((h, 1), numpy.uint8), rgb.reshape(h, -1)), 1)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            for kind, data in ((b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)),
                               (b"IDAT", zlib.compress(rows.tobytes(), 6)), (b"IEND", b"")):
                f.write(struct.pack(">I", len(data)) + kind + data +
                        struct.pack(">I", zlib.crc32(kind + data)))


class MonitorCapture:
    """The sink's monitor, read as it arrives and stamped: use as a context manager around the
    presses, then samples() gives every sample and times() when each was produced."""

    def __init__(self, session):
        self.session = session
        self.chunks = []  # (arrival time, samples)

    def __enter__(self):
        self.rec = self.session._spawn(
            ["parec", "--device=testsink.monitor", "--rate=48000", "--channels=1",
             "--format=float32le", "--latency-msec=5", "--raw"], stdout=subprocess.PIPE,
            env={k: v for k, v in self.session.env.items() if k != "PULSE_LATENCY_MSEC"})
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        time.sleep(0.3)
        self.session.settle_sink()
        time.sleep(0.2)
        return self

    def __exit__(self, *exc):
        self.rec.terminate()
        self.reader.join(timeout=5)

    def _read(self):
        fd, partial = self.rec.stdout.fileno(), b""
        while data := os.read(fd, 1 << 16):
            arrival = time.monotonic()
            data = partial + data
            whole = len(data) - len(data) % 4
            partial = data[whole:]
            self.chunks.append((arrival, numpy.frombuffer(data[:whole], dtype="<f4")))

    def times(self):
        return numpy.concatenate([arrival - (len(samples) - 1 - numpy.arange(len(samples))) / RATE
                                  for arrival, samples in self.chunks])

    def samples(self):
        return numpy.concatenate([samples for _, samples in self.chunks])


def hz(midi):
    return 440.0 * 2 ** ((midi - 69) / 12)


def fundamental(samples):
    """Frequency of the strongest spectral peak, refined by parabolic interpolation."""
    window = samples * numpy.hanning(len(samples))
    spectrum = numpy.abs(numpy.fft.rfft(window, n=len(window) * 4))
    peak = int(numpy.argmax(spectrum[8:])) + 8
    a, b, c = numpy.log(spectrum[peak - 1:peak + 2] + 1e-12)
    shift = 0.5 * (a - c) / (a - 2 * b + c)
    return (peak + shift) * RATE / (len(window) * 4)


def rms_envelope(samples, block=480):
    """RMS of consecutive blocks (10 ms at 48 kHz)."""
    usable = len(samples) // block * block
    return numpy.sqrt(numpy.mean(samples[:usable].reshape(-1, block) ** 2, axis=1))


def sound_onsets(samples, threshold=0.002, block=48, gap_blocks=20):
    """Start times (s) of the sounding stretches: a block above threshold after at least
    `gap_blocks` below it, or at the start."""
    loud = numpy.flatnonzero(rms_envelope(samples, block) > threshold)
    return list(loud[numpy.diff(loud, prepend=-gap_blocks - 1) > gap_blocks] * block / RATE)
