"""For people who live on the keyboard: the program as a screen reader reads it, the caps of
the layout in use, the keys under a Japanese input method. (Shortcuts: the window tests.)"""

import os
import subprocess
import time
import unittest

import harness
import screen_reader
from key_checks import A, KeyChecks


class KeyboardAccess(KeyChecks, unittest.TestCase):
    def setUp(self):
        super().setUp()
        screen_reader.start(self.session)

    def test_a_screen_reader_reads_the_controls_the_keys_and_their_changes(self):
        s = self.session
        s.start_app()
        app = screen_reader.application()
        found = {(role, name) for role, name, _ in screen_reader.nodes(app)}
        controls = ["録音を開始", "録音を再生", "録音を消去", "キー割り当てを開く", "ピアノ音色にする",
                    "サイン波音色にする", "オクターブを下げる", "オクターブを上げる", "半音下げる", "半音上げる",
                    "半音移動 0、0に戻す"]
        self.assertLessEqual({("push button", name) for name in controls} |
                             {("status bar", "現在の音 入力待ち"), ("status bar", "入力待ち")}, found)
        keys = screen_reader.key_names(app)
        self.assertEqual(len(keys), 20, keys)
        self.assertEqual((keys["C4"], keys["C♯4"]), ("C4 ド A", "C♯4 ド♯ W"))

        # A held key is pressed while its note sounds; the current note and the status line
        # announce what changed. (The pause: a key pressed in the first second after start
        # finds the sound output still opening and sounds nothing.)
        import pyatspi
        time.sleep(2)
        listener = screen_reader.Listener()
        c4 = next(node for role, name, node in screen_reader.nodes(app) if name == "C4 ド A")

        def pressed():  # Qt 6.4 sends no event for most state changes: asked each time
            c4.clear_cache()
            return c4.getState().contains(pyatspi.STATE_PRESSED)
        s.key(A, True)
        self.assertTrue(harness.wait_until(pressed, 3), "the lit key is not pressed")
        self.assertTrue(listener.heard("status bar", "現在の音 C4 ド"),
                        "the current note was not announced: %s" % listener.events)
        s.key(A, False)
        self.assertTrue(harness.wait_until(lambda: not pressed(), 3),
                        "the released key stayed pressed")
        s.xdotool("key", "ctrl+r")
        self.assertTrue(listener.heard("push button", "録音を停止"), listener.events)
        self.assertTrue(listener.heard("status bar", lambda name: "録音" in name),
                        "the status line was not announced: %s" % listener.events)
        self.shot()

    def test_key_caps_follow_the_layout_and_fall_back_where_it_prints_nothing(self):
        s = self.session
        s.set_layout("us")
        s.start_app()
        self.check_caps(("us", {"G5": "\\", "F5": "'", "F♯5": "[", "C4": "A"}),
                        ("de", {"G5": "#", "F5": "Ä", "E5": "Ö", "F♯5": "Ü", "G♯4": "Z"}))
        # From the keyboard alone: C4 gets the dead circumflex key, D4 the space bar; neither
        # prints a cap of its own, so their stored labels show.
        s.xdotool("key", "ctrl+k")
        # Right, Return, the key left of 1, Right, Right, Return, Space, Escape.
        for keycode in (114, 36, 49, 114, 114, 36, 65, 9):
            time.sleep(0.15)
            s.tap(keycode, 0.05)
        self.check_caps((None, {"C4": "KEY 50", "D4": "SPACE"}))  # the dead key's label
        self.assertEqual(s.app.poll(), None)
        self.check_caps(("jp", {"G5": "]", "F5": ":", "E5": ";", "F♯5": "@", "G♯4": "Y"}))
        # A desktop's layout toggle switches the group inside one keymap, with no new keymap.
        s.run("setxkbmap", "-layout", "us,de", "-option", "grp:caps_toggle", check=True)
        self.check_caps((None, {"G5": "\\", "F5": "'", "G♯4": "Y"}))
        s.tap(66, 0.05)  # Caps Lock, now the toggle
        self.check_caps((None, {"G5": "#", "F5": "Ä", "G♯4": "Z"}))

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
    """fcitx5 in the test's display with Anthy, Japanese input, on by default for every
    window, and the program on Qt's fcitx plugin, as on a desktop set up for Japanese."""

    def start_fcitx(self):
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

        def anthy_on():  # Anthy loads on first use: asked for until it is the current method
            s.run("fcitx5-remote", "-s", "anthy", timeout=10)
            return s.run("fcitx5-remote", "-n", capture_output=True, text=True,
                         timeout=10).stdout.strip() == "anthy"
        harness.wait_until(anthy_on, 20, "fcitx5 did not switch to Anthy", pause=0.2)

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
