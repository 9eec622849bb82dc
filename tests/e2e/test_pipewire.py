"""The whole program on a private PipeWire, as Debian 12 desktops run it: it plays through
PipeWire's own API, and while it idles the sink suspends."""

import time
import unittest

from pipewire_session import PipeWireSession
from test_whole_program import BINARY, WholeProgram

# wireplumber suspends a sink that has idled for 5 s.
SUSPEND_WAIT = 12


class OnPipeWire(WholeProgram):
    def setUp(self):
        self.session = PipeWireSession(BINARY)
        self.session.__enter__()
        self.addCleanup(self.session.close)

    def test_keys_sound_on_pipewire_also_after_the_output_rested(self):
        """A note, the output's rest, the sink's suspend, and a note that sounds."""
        s = self.session
        s.env["QT_LOGGING_RULES"] = "tunescrib.audio.debug=true"
        s.start_app()
        self.assertKeyPlaysC4("the first key")
        deadline = time.monotonic() + SUSPEND_WAIT
        while s.sink_state() != "SUSPENDED" and time.monotonic() < deadline:
            time.sleep(0.5)
        self.assertEqual(s.sink_state(), "SUSPENDED", "the idle program kept the sink awake")
        self.assertKeyPlaysC4("the first key after the sink suspended")
        self.shot()
        s.app.terminate()
        report = s.app.communicate(timeout=10)[1].decode()
        self.assertIn("PipeWire data thread", report, "not played through PipeWire's own API")


if __name__ == "__main__":
    unittest.main()
