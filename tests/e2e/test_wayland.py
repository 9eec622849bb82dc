"""The whole program on a Wayland compositor, natively and through XWayland, with the same
checks by ear as on X11."""

import json
import os
import subprocess
import time
import unittest

from key_checks import KeyChecks
from wayland_session import WaylandSession

BINARY = os.environ.get("TUNESCRIB_BINARY", "build/tunescrib")
INPUT_TOOL = os.environ.get("TUNESCRIB_WAYLAND_INPUT", "build/tests/e2e/wayland/wayland_input")
HERE = os.path.dirname(os.path.abspath(__file__))


class NativeWayland(KeyChecks, unittest.TestCase):
    xwayland = False

    def setUp(self):
        self.session = WaylandSession(BINARY, INPUT_TOOL, xwayland=self.xwayland).__enter__()
        self.addCleanup(self.session.close)

    def test_physical_keys_play_their_notes_on_two_layouts_and_shortcuts_do_not(self):
        self.session.start_app()
        self.check_twenty_keys(("jp", "fr"))
        self.check_modifiers_refused()
        self.shot()

    def test_key_caps_are_the_seats_layout_and_follow_a_switch(self):
        s = self.session
        s.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"  # the keys' names carry their caps
        s.set_layout("fr")
        s.start_app()
        # AZERTY: Q and Z where a JIS keyboard prints A and W; the dead circumflex keeps the
        # stored label.
        self.wait_for_caps({"C4": "Q", "C♯4": "Z", "E5": "M", "F5": "Ù", "G5": "*",
                            "F♯5": "@"})
        self.shot("-fr")
        s.set_layout("de")  # while the program runs
        self.wait_for_caps({"C4": "A", "C♯4": "W", "G♯4": "Z", "E5": "Ö", "F5": "Ä",
                            "F♯5": "Ü", "G5": "#"})
        self.shot("-de")

    def wait_for_caps(self, expected, timeout=10):
        """Waits until the keys' accessible names end in the `expected` caps, by note. They
        are read as the user the session bus belongs to."""
        deadline = time.monotonic() + timeout
        while True:
            done = subprocess.run(["/usr/bin/python3", "screen_reader.py"], cwd=HERE,
                                  env=self.session.env, capture_output=True, text=True,
                                  timeout=30, check=True, **self.session.run_as)
            caps = {note: name.rsplit(" ", 1)[1]
                    for note, name in json.loads(done.stdout).items()}
            if all(caps.get(note) == cap for note, cap in expected.items()):
                return
            if time.monotonic() > deadline:
                self.fail("key caps %s, expected %s" % (caps, expected))
            time.sleep(0.3)

    def test_held_keys_sound_once_and_stay_silent_once_silenced(self):
        self.session.start_app()
        self.check_hold_sounds_once()
        self.check_focus_loss()
        self.check_silenced_keys_stay_silent()


class XWayland(NativeWayland):
    xwayland = True


if __name__ == "__main__":
    unittest.main()
