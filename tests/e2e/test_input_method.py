"""The whole program under a Japanese input method: fcitx5 in the test's X display with
Anthy, Japanese input, on by default, and the program connected to it through Qt's fcitx
plugin (QT_IM_MODULE=fcitx), as on a desktop set up for typing Japanese."""

import os
import subprocess
import time
import unittest

import harness
from key_checks import KeyChecks

BINARY = os.environ.get("TUNESCRIB_BINARY", "build/tunescrib")

PROFILE = """\
[Groups/0]
Name=Default
Default Layout=jp
DefaultIM=anthy

[Groups/0/Items/0]
Name=keyboard-jp
Layout=

[Groups/0/Items/1]
Name=anthy
Layout=

[GroupOrder]
0=Default
"""


class JapaneseInputMethod(KeyChecks, unittest.TestCase):
    def setUp(self):
        self.session = harness.Session(BINARY).__enter__()
        self.addCleanup(self.session.close)

    def fcitx(self, *args):
        return subprocess.run(["fcitx5-remote", *args], env=self.session.env,
                              capture_output=True, text=True, timeout=10).stdout.strip()

    def start_fcitx(self):
        """fcitx5 with Anthy on by default for every window, and its key log."""
        s = self.session
        config = os.path.join(s.config_home, "fcitx5")
        os.makedirs(config)
        with open(os.path.join(config, "profile"), "w") as f:
            f.write(PROFILE)
        with open(os.path.join(config, "config"), "w") as f:
            f.write("[Behavior]\nActiveByDefault=True\nShareInputState=All\n")
        self.fcitx_log = os.path.join(s.dir, "fcitx5.log")
        with open(self.fcitx_log, "w") as log:
            s._spawn(["fcitx5", "--verbose=key_trace=5"], stdout=log, stderr=subprocess.STDOUT)
        # Anthy loads on first use: asked for until it answers as the current method.
        deadline = time.monotonic() + 20
        while True:
            self.fcitx("-s", "anthy")
            if self.fcitx("-n") == "anthy":
                return
            self.assertLess(time.monotonic(), deadline, "fcitx5 did not switch to Anthy")
            time.sleep(0.2)

    def test_the_keys_play_and_nothing_is_composed_under_fcitx_in_japanese_mode(self):
        s = self.session
        s.start_dbus()
        s.set_layout("jp")
        self.start_fcitx()
        s.env["QT_IM_MODULE"] = "fcitx"
        s.start_app()
        with open("/proc/%d/maps" % s.app.pid) as f:
            self.assertIn("fcitx5platforminputcontextplugin", f.read(),
                          "the program did not load Qt's fcitx plugin")
        self.check_twenty_keys(("jp",))
        # The window takes no text, so the input method is never handed a key to compose
        # with, and shows no preedit or candidate window.
        with open(self.fcitx_log) as f:
            self.assertNotIn("KeyEvent: ", f.read())
        shown = [w.get_wm_class() for w in s.x.screen().root.query_tree().children
                 if w.get_attributes().map_state == harness.X.IsViewable]
        self.assertFalse([c for c in shown if c and "fcitx" in c[1].lower()], shown)
        self.shot()


if __name__ == "__main__":
    unittest.main()
