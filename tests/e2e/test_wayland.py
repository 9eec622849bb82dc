"""The whole program on a Wayland compositor, natively and through XWayland, with the same
checks by ear as on X11."""

import os
import unittest

from key_checks import BINARY, KeyChecks
from wayland_session import WaylandSession

INPUT_TOOL = os.environ.get("TUNESCRIB_WAYLAND_INPUT", "build/tests/e2e/wayland/wayland_input")


class NativeWayland(KeyChecks, unittest.TestCase):
    xwayland = False

    def new_session(self):
        return WaylandSession(BINARY, INPUT_TOOL, xwayland=self.xwayland)

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
        self.check_caps(("fr", {"C4": "Q", "C♯4": "Z", "E5": "M", "F5": "Ù", "G5": "*",
                                "F♯5": "@"}),
                        ("de", {"C4": "A", "C♯4": "W", "G♯4": "Z", "E5": "Ö", "F5": "Ä",
                                "F♯5": "Ü", "G5": "#"}))

    def test_held_keys_sound_once_and_stay_silent_once_silenced(self):
        self.session.start_app()
        self.check_hold_sounds_once()
        self.check_focus_loss()
        self.check_silenced_keys_stay_silent()


class XWayland(NativeWayland):
    xwayland = True


if __name__ == "__main__":
    unittest.main()
