"""A harness session whose sound server is a private PipeWire: the daemon, its session
manager and its PulseAudio server, as Debian 12 desktops run them (sharing a D-Bus session
the program does not get), with a 48 kHz null sink as the default."""

import os
import subprocess
import time

import harness

DAEMONS = ("pipewire", "wireplumber", "pipewire-pulse")


class PipeWireSession(harness.Session):
    def start_pulse(self):
        self.start_dbus()
        for daemon in DAEMONS:
            with open(os.path.join(self.dir, daemon + ".log"), "w") as log:
                self.pulse = self._spawn([daemon], stdout=log, stderr=log)
            time.sleep(0.2)
        del self.env["DBUS_SESSION_BUS_ADDRESS"]

        def logs():
            return "PipeWire did not start:\n" + "".join(
                open(os.path.join(self.dir, d + ".log")).read() for d in DAEMONS)
        harness.wait_until(lambda: self.pactl("load-module", *harness.SINK, check=False), 10,
                           logs, pause=0.1)

        def default_is_ours():  # wireplumber makes the new sink the default once it sees it
            self.pactl("set-default-sink", "testsink", check=False)
            return self.pactl("get-default-sink", check=False).strip() == "testsink"
        harness.wait_until(default_is_ours, 10, logs, pause=0.1)

    def settle_sink(self):
        """PipeWire's null sink follows a new recorder at once. A suspend and resume would
        leave the recorder that runs fed with silence from then on (PipeWire 0.3.65)."""


# For the benchmarks, which take a session and its capture by sound server.
MonitorCapture = harness.MonitorCapture
