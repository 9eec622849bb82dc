"""A harness session whose sound server is a private PipeWire: the daemon, its session
manager and its PulseAudio server (pipewire-pulse), as Debian 12 desktops run them, with a
48 kHz null sink as the default."""

import os
import subprocess
import threading
import time

import harness

DAEMONS = ("pipewire", "wireplumber", "pipewire-pulse")
SINK = ["load-module", "module-null-sink", "sink_name=testsink", "rate=48000",
        "format=float32le", "channels=2"]


class PipeWireSession(harness.Session):
    """The daemons share a private D-Bus session that the program does not get (a desktop
    has one, this does not)."""

    def start_pulse(self):
        self.start_dbus()
        for daemon in DAEMONS:
            log = open(os.path.join(self.dir, daemon + ".log"), "w")
            self.pulse = self._spawn([daemon], stdout=log, stderr=subprocess.STDOUT)
            log.close()
            time.sleep(0.2)
        del self.env["DBUS_SESSION_BUS_ADDRESS"]
        self._until(lambda: self._pactl("info") and self._pactl(*SINK), "did not answer")
        # wireplumber makes the new sink the default once it sees it.
        self._until(lambda: self._pactl("set-default-sink", "testsink") and
                    self.pactl_output("get-default-sink").strip() == "testsink",
                    "kept another default sink")

    def pactl_output(self, *args):
        return subprocess.run(["pactl", *args], env=self.env, capture_output=True,
                              text=True).stdout

    def sink_state(self):
        """The test sink's state as pactl words it: RUNNING, IDLE or SUSPENDED."""
        for line in self.pactl_output("list", "sinks", "short").splitlines():
            fields = line.split("\t")
            if len(fields) >= 5 and fields[1] == "testsink":
                return fields[4]
        return None

    def _pactl(self, *args):
        return subprocess.run(["pactl", *args], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def _until(self, done, failure):
        deadline = time.monotonic() + 10
        while not done():
            if time.monotonic() > deadline:
                logs = [open(os.path.join(self.dir, d + ".log")).read() for d in DAEMONS]
                raise RuntimeError("PipeWire " + failure + ":\n" + "".join(logs))
            time.sleep(0.1)

    def settle_sink(self):
        """PipeWire's null sink follows a new recorder at once. A suspend and resume would
        leave the recorder that is running fed with silence from then on (PipeWire 0.3.65),
        whatever plays."""

    def pulse_pid(self):
        pulse = getattr(self, "pulse", None)
        return pulse.pid if pulse is not None else None


class MonitorCapture(harness.MonitorCapture):
    """harness.MonitorCapture on PipeWire: without the suspend and resume of the sink, which
    would leave the capture with silence (see PipeWireSession.settle_sink)."""

    def __enter__(self):
        self.rec = self.session._spawn(
            ["parec", "--device=testsink.monitor", "--rate=48000", "--channels=1",
             "--format=float32le", "--raw", "--latency-msec=5"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        time.sleep(0.5)
        return self
