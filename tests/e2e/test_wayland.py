"""The whole program on a Wayland compositor, natively and through XWayland, with the same
checks by ear as on X11."""

import os
import unittest

from key_checks import KeyChecks
from wayland_session import WaylandSession

BINARY = os.environ.get("TUNESCRIB_BINARY", "build/tunescrib")
INPUT_TOOL = os.environ.get("TUNESCRIB_WAYLAND_INPUT", "build/tests/e2e/wayland/wayland_input")


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

    def test_held_keys_sound_once_and_stay_silent_once_silenced(self):
        self.session.start_app()
        self.check_hold_sounds_once()
        self.check_focus_loss()
        self.check_silenced_keys_stay_silent()


class XWayland(NativeWayland):
    xwayland = True


if __name__ == "__main__":
    unittest.main()
