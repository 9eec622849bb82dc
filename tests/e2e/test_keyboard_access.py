"""Whole-program tests for people who live on the keyboard: the controls' shortcuts heard
through the sink, the program as a screen reader reads it, and the key caps of the
layout in use."""

import os
import time
import unittest

import harness
from harness import hz
import screen_reader

BINARY = os.environ.get("TUNESCRIB_BINARY", "build/tunescrib")
SHOTS = os.environ.get("TUNESCRIB_E2E_SHOTS", "build/e2e")

# X keycodes (Linux scancode + 8).
CONTROL, TAB, RETURN, ESCAPE, SPACE = 37, 23, 36, 9, 65
A, D, G, R, P, K, TWO, UP, RIGHT = 38, 40, 42, 27, 33, 45, 11, 111, 114
DEAD_CIRCUMFLEX_DE = 49  # the key left of 1

NOTE_ONSET = 0.01  # above a fading tail's wavering; every attack passes it at once


class KeyboardAccess(unittest.TestCase):
    def setUp(self):
        self.session = harness.Session(BINARY).__enter__()
        self.addCleanup(self.session.close)
        screen_reader.start(self.session)

    def key_names(self):
        return screen_reader.key_names(screen_reader.application())

    def wait_for_names(self, expected, timeout=5):
        deadline = time.monotonic() + timeout
        while True:
            names = self.key_names()
            if all(names.get(note) == name for note, name in expected.items()):
                return names
            if time.monotonic() > deadline:
                self.fail("key names %s, expected %s" % (names, expected))
            time.sleep(0.2)

    def shot(self, suffix=""):
        name = self.id().rsplit(".", 1)[1] + suffix + ".png"
        self.session.screenshot(os.path.join(SHOTS, name))

    def ctrl(self, keycode):
        s = self.session
        s.key(CONTROL, True)
        s.tap(keycode, 0.05)
        s.key(CONTROL, False)
        time.sleep(0.15)

    def record(self, action):
        path = os.path.join(self.session.dir, "take.wav")
        with self.session.recording(path):
            action()
        return harness.read_wav(path)

    def notes(self, samples):
        """(onset, pitch) of each note heard, notes being at least 0.45 s apart."""
        heard = []
        for onset in harness.sound_onsets(samples, threshold=NOTE_ONSET, gap_blocks=3):
            if heard and onset - heard[-1][0] < 0.45:
                continue  # a gap the busy server left inside one note
            start = int((onset + 0.03) * harness.RATE)
            heard.append((onset, harness.fundamental(samples[start:start + 9600])))
        return heard

    def assertPitches(self, heard, midis, what):
        self.assertEqual(len(heard), len(midis), "%s: %s" % (what, heard))
        for (_, found), midi in zip(heard, midis):
            self.assertLess(abs(found / hz(midi) - 1), 0.01,
                            "%s: heard %.1f Hz for %.1f Hz" % (what, found, hz(midi)))

    def test_a_take_recorded_and_played_with_shortcuts_and_the_octave_shortcut(self):
        s = self.session
        s.start_app()
        self.ctrl(TWO)  # sine: its short release leaves silence between the notes
        melody = [(A, 60), (D, 64), (G, 67)]

        def play_melody():
            self.ctrl(R)
            time.sleep(0.3)
            for keycode, _ in melody:
                s.tap(keycode, 0.25)
                time.sleep(0.35)
            self.ctrl(P)  # refused while recording, as its button is
            time.sleep(0.8)
            self.ctrl(R)
            time.sleep(0.5)

        self.assertPitches(self.notes(self.record(play_melody)), [m for _, m in melody], "live")
        back = self.record(lambda: (self.ctrl(P), time.sleep(2.5)))
        self.assertPitches(self.notes(back), [m for _, m in melody], "played back")
        self.ctrl(UP)
        raised = self.record(lambda: (s.tap(A, 0.4), time.sleep(0.6)))
        self.assertPitches(self.notes(raised), [72], "A after Ctrl+Up")
        self.shot()

    def test_a_screen_reader_reads_the_controls_the_keys_and_their_changes(self):
        s = self.session
        s.start_app()
        app = screen_reader.application()
        found = {(role, name) for role, name, _ in screen_reader.nodes(app)}
        controls = ["録音を開始", "録音を再生", "録音を消去", "キー割り当てを開く", "ピアノ音色にする",
                    "サイン波音色にする", "オクターブを下げる", "オクターブを上げる", "半音下げる", "半音上げる",
                    "半音移動 0、0に戻す"]
        for name in controls:
            self.assertIn(("push button", name), found)
        self.assertIn(("status bar", "現在の音 入力待ち"), found)
        self.assertIn(("status bar", "入力待ち"), found)
        keys = self.key_names()
        self.assertEqual(len(keys), 20, keys)
        self.assertEqual(keys["C4"], "C4 ド A")
        self.assertEqual(keys["C♯4"], "C♯4 ド♯ W")

        # A held key is pressed while its note sounds; the current note and the status line
        # announce what changed. (The pause: a key pressed in the first second after start
        # finds the sound output still opening and sounds nothing.)
        import pyatspi
        time.sleep(2)
        listener = screen_reader.Listener("object:property-change:accessible-name")
        c4 = screen_reader.named(app, "push button", "C4 ド A")
        s.key(A, True)
        self.assertTrue(screen_reader.wait_for_state(c4, pyatspi.STATE_PRESSED, True),
                        "the lit key is not pressed")
        self.assertIsNotNone(listener.wait_for(
            lambda kind, name, role, detail: role == "status bar" and name == "現在の音 C4 ド"),
            "the current note was not announced: %s" % listener.events)
        s.key(A, False)
        self.assertTrue(screen_reader.wait_for_state(c4, pyatspi.STATE_PRESSED, False),
                        "the released key stayed pressed")
        self.ctrl(R)
        self.assertIsNotNone(listener.wait_for(
            lambda kind, name, role, detail: role == "push button" and name == "録音を停止"))
        self.assertIsNotNone(listener.wait_for(
            lambda kind, name, role, detail: role == "status bar" and "録音" in name),
            "the status line was not announced: %s" % listener.events)
        self.shot()

    def test_key_caps_follow_the_layout_and_fall_back_where_it_prints_nothing(self):
        s = self.session
        s.set_layout("us")
        s.start_app()
        self.wait_for_names({"G5": "G5 ソ \\", "F5": "F5 ファ '", "F♯5": "F♯5 ファ♯ [",
                             "C4": "C4 ド A"})
        self.shot("-us")
        s.set_layout("de")  # while the program runs
        self.wait_for_names({"G5": "G5 ソ #", "F5": "F5 ファ Ä", "E5": "E5 ミ Ö",
                             "F♯5": "F♯5 ファ♯ Ü", "G♯4": "G♯4 ソ♯ Z"})
        self.shot("-de")
        # From the keyboard alone: C4 gets the dead circumflex key, D4 the space bar; neither
        # prints a cap of its own, so their stored labels show.
        self.ctrl(K)
        for keycode in (RIGHT, RETURN, DEAD_CIRCUMFLEX_DE, RIGHT, RIGHT, RETURN, SPACE, ESCAPE):
            s.tap(keycode, 0.05)
            time.sleep(0.15)
        names = self.key_names()
        self.assertEqual(names["C4"], "C4 ド KEY 50")  # what was stored for the dead key
        self.assertEqual(names["D4"], "D4 レ SPACE")
        self.assertEqual(s.app.poll(), None)
        s.set_layout("jp")
        self.wait_for_names({"G5": "G5 ソ ]", "F5": "F5 ファ :", "E5": "E5 ミ ;",
                             "F♯5": "F♯5 ファ♯ @", "G♯4": "G♯4 ソ♯ Y"})
        self.shot("-jp")


if __name__ == "__main__":
    unittest.main()
