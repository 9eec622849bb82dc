"""A private desktop for whole-program tests: Xvfb on a free display, openbox, a PulseAudio
with a 48 kHz null sink, and the real tunescrib binary (or, for the sound tests, the server
alone and the sound probe), all inside one temporary folder and all stopped by pid when the
session ends, also when a test fails.

Keys are pressed by X keycode through XTEST, so they go through the server's keyboard layout
exactly like a physical key. Sound is recorded from the sink's monitor with parec.
"""

import contextlib
import os
import select
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

# The priority PulseAudio asks RealtimeKit for.
PULSE_PRIORITY = 5
PULSE_CONFIG = """\
load-module module-native-protocol-unix
load-module module-null-sink sink_name=testsink rate=48000 format=float32le channels=2
set-default-sink testsink
load-module module-suspend-on-idle timeout=1
"""


class Session:
    """One desktop, one sound server and one program; use as a context manager."""

    def __init__(self, binary):
        self.binary = binary
        self.dir = tempfile.mkdtemp(prefix="tunescrib-e2e-")
        self.config_home = os.path.join(self.dir, "config")
        self.processes = []
        self.app = None
        self.x = None
        # Extra Popen arguments for every process the session starts: a user to run as.
        self.run_as = {}
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "PULSE_SERVER", "QT_QPA_PLATFORM",
                     "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.env.update(HOME=os.path.join(self.dir, "home"),
                        XDG_RUNTIME_DIR=os.path.join(self.dir, "runtime"),
                        XDG_CONFIG_HOME=self.config_home)
        os.makedirs(self.env["HOME"])
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        # A client must never start a stray server of its own after a test kills ours.
        self.env["PULSE_CLIENTCONFIG"] = os.path.join(self.dir, "client.conf")
        with open(self.env["PULSE_CLIENTCONFIG"], "w") as f:
            f.write("autospawn = no\n")

    # -- lifetime -------------------------------------------------------------------------

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
            _stop(proc)
        self.processes.clear()
        if self.x is not None:
            with contextlib.suppress(Exception):
                self.x.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def _spawn(self, args, **kwargs):
        proc = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL, **self.run_as,
                                **kwargs)
        self.processes.append(proc)
        return proc

    def _spawn_announcing(self, args):
        """Starts a server that writes one line (its address) to the descriptor `args` name
        as "{fd}" once it listens, and returns that line."""
        read_fd, write_fd = os.pipe()
        self._spawn([arg.format(fd=write_fd) for arg in args], pass_fds=(write_fd,),
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
        self._spawn(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)

    def start_pulse(self):
        config = os.path.join(self.dir, "pulse.pa")
        with open(config, "w") as f:
            f.write(PULSE_CONFIG)
        subprocess.run(["pulseaudio", "-n", "-F", config, "--daemonize=yes",
                        "--exit-idle-time=-1", "--disallow-exit", "--log-target=stderr"],
                       env=self.env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=20, **self.run_as)
        deadline = time.monotonic() + 10
        while subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, **self.run_as).returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("PulseAudio did not answer")
            time.sleep(0.05)
        # A desktop's RealtimeKit makes the server's threads real-time, which this machine
        # has not: without it a busy machine makes the server late, and the tests hear the
        # gaps. Where the tests may not grant it, the server runs as it is.
        with contextlib.suppress(PermissionError):
            for thread in os.listdir("/proc/%d/task" % self.pulse_pid()):
                os.sched_setscheduler(int(thread), os.SCHED_RR, os.sched_param(PULSE_PRIORITY))

    def start_dbus(self):
        """A private D-Bus session, for what needs one (an input method, a compositor, a
        screen reader); it listens when this returns."""
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._spawn_announcing(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + path,
             "--print-address={fd}"])

    def pulse_pid(self):
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], "pulse", "pid")
        with contextlib.suppress(OSError, ValueError):
            with open(path) as f:
                return int(f.read().strip())
        return None

    def stop_pulse(self, sig=signal.SIGTERM):
        pid = self.pulse_pid()
        if pid is None:
            return
        with contextlib.suppress(ProcessLookupError):
            os.kill(pid, sig)
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and _alive(pid):
            time.sleep(0.02)
        with contextlib.suppress(ProcessLookupError):  # frozen, or deaf to SIGTERM
            os.kill(pid, signal.SIGKILL)
        with contextlib.suppress(OSError):
            os.unlink(os.path.join(self.env["XDG_RUNTIME_DIR"], "pulse", "pid"))

    # -- the program ----------------------------------------------------------------------

    def start_app(self, *args):
        """Starts tunescrib and returns once its window is mapped and has the focus."""
        root = self.x.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.x.sync()
        self.app = subprocess.Popen([self.binary, *args], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE)
        self.window = self._wait_for_window("Tunescrib", timeout=30)
        time.sleep(0.5)  # first frame and focus
        return self.app

    def launch_desktop_entry(self, path):
        """Starts the program as a desktop does, from its entry, and returns once its window
        is mapped; the program is then known by the pid its window gives."""
        root = self.x.screen().root
        root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.x.sync()
        subprocess.run(["gio", "launch", path], env=self.env, check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = self._wait_for_window("Tunescrib", timeout=30)
        pid = self.window.get_full_property(self.x.intern_atom("_NET_WM_PID"), X.AnyPropertyType)
        self.app = _Launched(pid.value[0])
        time.sleep(0.5)  # first frame and focus
        return self.app

    def _wait_for_window(self, title, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.find_window(title)
            if found is not None:
                return found
            if self.app is not None and self.app.poll() is not None:
                raise RuntimeError("tunescrib exited: " + self.app.stderr.read().decode())
            # Sleep on the X connection until something maps, instead of polling.
            if self.x.pending_events() == 0:
                select.select([self.x.fileno()], [], [], 0.2)
            while self.x.pending_events():
                self.x.next_event()
        raise RuntimeError("no window titled %r" % title)

    def find_window(self, title):
        def walk(window):
            with contextlib.suppress(Exception):
                name = window.get_wm_name()
                attrs = window.get_attributes()
                if name == title and attrs.map_state == X.IsViewable:
                    return window
                for child in window.query_tree().children:
                    hit = walk(child)
                    if hit is not None:
                        return hit
            return None
        return walk(self.x.screen().root)

    def stop_app(self):
        if self.app is not None:
            _stop(self.app)
            self.app = None

    def cpu_seconds(self):
        """User plus system CPU time the program has used so far."""
        with open("/proc/%d/stat" % self.app.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    # -- input ----------------------------------------------------------------------------

    def set_layout(self, layout):
        subprocess.run(["setxkbmap", layout], env=self.env, check=True)

    def key(self, keycode, down):
        xtest.fake_input(self.x, X.KeyPress if down else X.KeyRelease, keycode)
        self.x.sync()

    def tap(self, keycode, seconds):
        self.key(keycode, True)
        time.sleep(seconds)
        self.key(keycode, False)

    def play_fast(self, notes, keys=(39, 40, 41, 42, 43, 44, 45)):
        """Plays `notes` short notes as fast as the X server takes them, on `keys` in turn (a
        release and the next press never share a key, which Qt would take for an auto-repeat),
        then returns once the program has caught up: a second in which it used less than a
        tenth of a core."""
        for i in range(notes):
            key = keys[i % len(keys)]
            xtest.fake_input(self.x, X.KeyPress, key)
            xtest.fake_input(self.x, X.KeyRelease, key)
            if i % 100 == 99:
                self.x.sync()
        self.x.sync()
        while True:
            before = self.cpu_seconds()
            time.sleep(1.0)
            if self.cpu_seconds() - before < 0.1:
                return

    def click(self, x, y):
        """Presses and releases the left button at window coordinates (x, y)."""
        pos = self.window.translate_coords(self.x.screen().root, 0, 0)
        xtest.fake_input(self.x, X.MotionNotify, x=-pos.x + x, y=-pos.y + y)
        xtest.fake_input(self.x, X.ButtonPress, 1)
        self.x.sync()
        time.sleep(0.05)
        xtest.fake_input(self.x, X.ButtonRelease, 1)
        self.x.sync()

    # -- output ---------------------------------------------------------------------------

    def settle_sink(self):
        """A null sink with nothing playing renders far ahead: a suspend and resume makes a
        new recording stream start now rather than up to two seconds late."""
        for state in ("1", "0"):
            subprocess.run(["pactl", "suspend-sink", "testsink", state], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **self.run_as)

    @contextlib.contextmanager
    def recording(self, path):
        """Records the sink's monitor into a mono float WAV while the block runs."""
        rec = self._spawn(["parec", "--device=testsink.monitor", "--rate=48000", "--channels=1",
                           "--format=float32le", "--file-format=wav", "--latency-msec=5", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.3)
        self.settle_sink()
        time.sleep(0.2)
        try:
            yield
        finally:
            time.sleep(0.1)
            rec.send_signal(signal.SIGINT)
            with contextlib.suppress(subprocess.TimeoutExpired):
                rec.wait(timeout=5)
            _stop(rec)

    def screenshot(self, path):
        """Saves the whole screen as a PNG for a person to look at."""
        screen = self.x.screen()
        w, h = screen.width_in_pixels, screen.height_in_pixels
        raw = screen.root.get_image(0, 0, w, h, X.ZPixmap, 0xFFFFFFFF).data
        pixels = numpy.frombuffer(raw, dtype=numpy.uint8).reshape(h, w, 4)[:, :, 2::-1]
        rows = b"".join(b"\x00" + pixels[y].tobytes() for y in range(h))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(_png_chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
            f.write(_png_chunk(b"IDAT", zlib.compress(rows, 6)))
            f.write(_png_chunk(b"IEND", b""))


class MonitorCapture:
    """The sink's monitor, read as it arrives and stamped: use as a context manager around the
    presses, then times() and samples() give every sample with its production time."""

    def __init__(self, session):
        self.session = session
        self.chunks = []  # (arrival time, samples)

    def __enter__(self):
        s = self.session
        self.rec = s._spawn(["parec", "--device=testsink.monitor", "--rate=48000",
                             "--channels=1", "--format=float32le", "--raw", "--latency-msec=5"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        time.sleep(0.5)
        for state in ("1", "0"):
            subprocess.run(["pactl", "suspend-sink", "testsink", state], env=s.env)
        time.sleep(0.5)
        return self

    def __exit__(self, *exc):
        self.rec.terminate()
        self.reader.join(timeout=5)

    def _read(self):
        fd, partial = self.rec.stdout.fileno(), b""
        while True:
            data = os.read(fd, 1 << 16)
            if not data:
                return
            arrival = time.monotonic()
            data = partial + data
            whole = len(data) - len(data) % 4
            partial = data[whole:]
            self.chunks.append((arrival, numpy.frombuffer(data[:whole], dtype="<f4")))

    def times(self):
        return numpy.concatenate([arrival - (len(samples) - 1 - numpy.arange(len(samples))) / 48000
                                  for arrival, samples in self.chunks])

    def samples(self):
        return numpy.concatenate([samples for _, samples in self.chunks])



def read_wav(path):
    """Samples of a mono 32-bit float WAV written by parec, as a numpy array. (The wave
    module reads integer PCM only.) parec may stop before it fixes the sizes in the header,
    so the data chunk is taken to run to the end of the file."""
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if kind == b"data":
            body = data[at + 8:]
            return numpy.frombuffer(body[:len(body) // 4 * 4], dtype="<f4").astype(numpy.float64)
        at += 8 + size + (size & 1)
    raise ValueError("no data chunk in " + path)


def hz(midi):
    return 440.0 * 2 ** ((midi - 69) / 12)


def fundamental(samples, rate=RATE):
    """Frequency of the strongest spectral peak, refined by parabolic interpolation."""
    window = samples * numpy.hanning(len(samples))
    spectrum = numpy.abs(numpy.fft.rfft(window, n=len(window) * 4))
    peak = int(numpy.argmax(spectrum[8:])) + 8
    a, b, c = numpy.log(spectrum[peak - 1:peak + 2] + 1e-12)
    shift = 0.5 * (a - c) / (a - 2 * b + c)
    return (peak + shift) * rate / (len(window) * 4)


def rms_envelope(samples, block=480):
    """RMS of consecutive blocks (10 ms at 48 kHz)."""
    usable = len(samples) // block * block
    return numpy.sqrt(numpy.mean(samples[:usable].reshape(-1, block) ** 2, axis=1))


def sound_onsets(samples, threshold=0.002, block=48, gap_blocks=20):
    """Start times (s) of the sounding stretches: a block above threshold after silence."""
    env = rms_envelope(samples, block)
    onsets, quiet = [], gap_blocks
    for i, level in enumerate(env):
        if level > threshold:
            if quiet >= gap_blocks:
                onsets.append(i * block / RATE)
            quiet = 0
        else:
            quiet += 1
    return onsets


def _png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    with contextlib.suppress(OSError):
        with open("/proc/%d/stat" % pid) as f:
            if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                return False
    return True


class _Launched:
    """A program some other process started: enough of Popen for stopping it by pid."""

    def __init__(self, pid):
        self.pid = pid

    def poll(self):
        return None if _alive(self.pid) else 0

    def terminate(self):
        with contextlib.suppress(ProcessLookupError):
            os.kill(self.pid, signal.SIGTERM)

    def kill(self):
        with contextlib.suppress(ProcessLookupError):
            os.kill(self.pid, signal.SIGKILL)

    def wait(self, timeout=None):
        deadline = None if timeout is None else time.monotonic() + timeout
        while _alive(self.pid):
            if deadline is not None and time.monotonic() > deadline:
                raise subprocess.TimeoutExpired("pid %d" % self.pid, timeout)
            time.sleep(0.02)
        return 0


def _stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
