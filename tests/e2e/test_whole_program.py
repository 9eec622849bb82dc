"""Whole-program tests: the real tunescrib on a private X server and sound server, played
with physical key presses and heard through the sink's monitor."""

import json
import os
import signal
import subprocess
import time
import unittest
import urllib.parse

import mido
from Xlib import X, protocol
from Xlib.ext import xtest

import harness
from key_checks import A, D, G, NOTE_ONSET, PLAY_BUTTON, RECORD_BUTTON, SINE_BUTTON, Z, \
    CLEAR_BUTTON, EXPORT_BUTTON, KeyChecks

BINARY = os.environ.get("TUNESCRIB_BINARY", "build/tunescrib")
BUILD = os.environ.get("TUNESCRIB_BUILD_DIR", "build")
KEY = "tunescrib%3Amac-preferences%3Av2"


DEFAULT_KEYS = [(0, "A"), (13, "W"), (1, "S"), (14, "E"), (2, "D"), (3, "F"), (17, "T"),
                (5, "G"), (16, "Y"), (4, "H"), (32, "U"), (38, "J"), (40, "K"), (31, "O"),
                (37, "L"), (35, "P"), (41, ";"), (39, ":"), (33, "@"), (42, "]")]


def document():
    """The compact stored document of the defaults, as the program writes it."""
    return json.dumps({"bindings": [{"keyCode": c, "label": l} for c, l in DEFAULT_KEYS],
                       "baseOctave": 4, "transposition": 0, "soundMode": "piano"},
                      separators=(",", ":"), ensure_ascii=False)


def settings_text(doc):
    """A settings file holding `doc` as QSettings writes a byte blob: quoted, escaped."""
    escaped = doc.replace("\\", "\\\\").replace('"', '\\"')
    return '[General]\n%s="@ByteArray(%s)"\n' % (KEY, escaped)


def sine_notes(samples):
    """Start times of sine notes played 0.55 s apart: attacks above the release tails that
    last into the next note's gap; an onset sooner after the last is a gap the busy
    server left inside a note."""
    heard = []
    for onset in harness.sound_onsets(samples, threshold=3 * NOTE_ONSET, gap_blocks=50):
        if not heard or onset - heard[-1] > 0.45:
            heard.append(onset)
    return heard


DROP_TARGET = os.environ.get("TUNESCRIB_DROP_TARGET", "build/tests/e2e/drop_target/drop_target")
# A point on the timeline, in window coordinates.
TIMELINE = (660, 680)
# The save dialog's file name field and accept button, in Qt's own dialog over a new window.
DIALOG_FILE_NAME, DIALOG_ACCEPT = (583, 539), (777, 584)


def settings_file(session):
    return os.path.join(session.config_home, "tunescrib", "tunescrib.conf")


def close_window(session):
    """Asks the window to close, as its title bar's close button does."""
    protocols = session.x.intern_atom("WM_PROTOCOLS")
    delete = session.x.intern_atom("WM_DELETE_WINDOW")
    session.window.send_event(protocol.event.ClientMessage(
        window=session.window, client_type=protocols,
        data=(32, [delete, X.CurrentTime, 0, 0, 0])))
    session.x.flush()


class WholeProgram(KeyChecks, unittest.TestCase):
    def setUp(self):
        self.session = harness.Session(BINARY).__enter__()
        self.addCleanup(self.session.close)

    def assertKeyPlaysC4(self, what):
        samples = self.record(lambda: self.session.tap(A, 0.5))
        onsets = harness.sound_onsets(samples)
        self.assertTrue(onsets, "%s: no sound" % what)
        start = int((onsets[0] + 0.05) * harness.RATE)
        self.assertPitch(samples[start:start + int(0.35 * harness.RATE)], 60, what)

    def test_physical_keys_play_the_same_notes_on_jis_and_us_layouts(self):
        self.session.start_app()
        self.check_twenty_keys(("jp", "us"))
        self.check_modifiers_refused()
        self.shot()

    def test_the_program_outlives_its_sound_server_missing_dying_restarted_and_frozen(self):
        """One run through what a sound server does to a desktop program: frozen at the
        start, then gone, then without a sink, then with one; killed in mid-note and
        started again; restarted while the output rests; frozen while the window closes."""
        s = self.session
        pactl = lambda *args: subprocess.run(["pactl", *args], env=s.env, check=True,
                                              stdout=subprocess.DEVNULL)
        server = s.pulse_pid()
        os.kill(server, signal.SIGSTOP)
        try:
            asked = time.monotonic()
            s.start_app()
            took = time.monotonic() - asked
        finally:
            os.kill(server, signal.SIGCONT)
        self.assertLess(took, 5.0, "the window waited on the frozen server")
        time.sleep(3.0)  # a failed start is not tried again sooner
        s.stop_pulse()
        s.tap(A, 0.2)
        time.sleep(0.3)
        self.assertIsNone(s.app.poll(), "the program died without a sound server")
        s.start_pulse()
        pactl("unload-module", "module-null-sink")
        time.sleep(3.0)
        s.tap(A, 0.2)
        time.sleep(0.3)
        self.assertIsNone(s.app.poll(), "the program died on a server without a sink")
        pactl("load-module", "module-null-sink", "sink_name=testsink", "rate=48000",
              "format=float32le", "channels=2")
        pactl("set-default-sink", "testsink")
        time.sleep(3.0)  # a failed start is not tried again sooner
        self.assertKeyPlaysC4("the first key once the server has a sink")

        s.key(A, True)
        time.sleep(0.3)
        s.stop_pulse(signal.SIGKILL)
        time.sleep(1.0)
        s.key(A, False)
        self.assertIsNone(s.app.poll(), "the program died with the server")
        before = s.cpu_seconds()
        time.sleep(3.0)
        self.assertLess((s.cpu_seconds() - before) / 3.0, 0.02, "busy after the server died")
        self.shot()
        s.start_pulse()
        self.assertKeyPlaysC4("the first key on the new server")

        time.sleep(5.0)  # the fade, then two seconds of silence and more: the output sleeps
        s.stop_pulse(signal.SIGKILL)
        s.start_pulse()
        self.assertKeyPlaysC4("the first key after a restart while the output rested")

        s.key(A, True)
        time.sleep(0.3)
        server = s.pulse_pid()
        os.kill(server, signal.SIGSTOP)
        try:
            time.sleep(0.5)
            asked = time.monotonic()
            close_window(s)
            s.app.wait(timeout=10)
            took = time.monotonic() - asked
        finally:
            os.kill(server, signal.SIGCONT)
            s.key(A, False)
        self.assertLess(took, 1.0, "closing waited on the frozen server")

    def test_a_take_exported_through_the_dialog_reads_back_as_played(self):
        """Recorded with the keys on the sine, saved through the save dialog into the music
        folder and read back by a MIDI reader of its own; a folder that cannot be written
        gets no file; a cleared take comes back with Ctrl+Z and plays in time."""
        s = self.session
        music = os.path.join(s.env["HOME"], "Music")
        os.makedirs(music)
        s.start_app()
        s.click(*SINE_BUTTON)
        s.tap(A, 0.2)  # the sound output is up before the take starts
        time.sleep(1.0)
        melody = [(A, 60), (D, 64), (G, 67)]

        def play_melody():
            s.click(*RECORD_BUTTON)
            time.sleep(0.3)
            for keycode, _ in melody:
                s.tap(keycode, 0.25)
                time.sleep(0.3)
            s.click(*RECORD_BUTTON)
            time.sleep(0.3)

        # When each note sounded is when the program saw its key and read its clock, where
        # the moment of the press would add the delays of a busy machine.
        # The recorder runs for half a second before the take: what it hears then is the
        # tail of the first note, which may sound late while the output starts.
        heard = [onset for onset in sine_notes(self.record(play_melody)) if onset > 0.5]
        self.assertEqual(len(heard), len(melody), heard)

        def save_in_dialog(name=None):
            s.click(*EXPORT_BUTTON)
            time.sleep(1.0)
            if name is not None:  # typed over the proposed name, as a person does
                s.click(*DIALOG_FILE_NAME)
                subprocess.run(["xdotool", "key", "ctrl+a"], env=s.env, check=True)
                subprocess.run(["xdotool", "type", "--delay", "30", name], env=s.env, check=True)
            s.click(*DIALOG_ACCEPT)
            time.sleep(0.5)

        save_in_dialog()
        saved = os.listdir(music)
        self.assertEqual(len(saved), 1, saved)
        self.assertRegex(saved[0], r"^tunescrib-\d{8}-\d{6}\.mid$")
        song = mido.MidiFile(os.path.join(music, saved[0]))
        self.assertEqual((song.type, song.ticks_per_beat, len(song.tracks)), (0, 480, 1))
        tick, ons, offs, tempos, programs = 0, [], [], [], []
        for message in song.tracks[0]:
            tick += message.time
            if message.type == "note_on" and message.velocity > 0:
                ons.append((tick, message.note))
            elif message.type in ("note_off", "note_on"):
                offs.append((tick, message.note))
            tempos += [message.tempo] if message.type == "set_tempo" else []
            programs += [message.program] if message.type == "program_change" else []
        self.assertEqual((tempos, programs), ([500000], [79]))
        self.assertEqual([note for _, note in ons], [midi for _, midi in melody])
        self.assertEqual(sorted(note for _, note in offs), sorted(note for _, note in ons))
        for (on, _), at in zip(ons, heard):
            # One tick of rounding plus the jitter of the sound server's blocks.
            error = (on - ons[0][0]) / 960 - (at - heard[0])
            self.assertLess(abs(error), 1 / 960 + 0.02, "a note moved by %.0f ms" % (error * 1000))

        # A folder nobody may write into, not even root: Qt's dialog refuses to save in a
        # folder it sees as read-only, so this one is reached from the music folder.
        os.symlink("/sys", os.path.join(music, "readonly"))
        save_in_dialog("readonly/take.mid")
        self.shot()  # the status line says why
        self.assertFalse(os.path.exists("/sys/take.mid"))
        self.assertEqual(sorted(os.listdir(music)), sorted(saved + ["readonly"]))

        s.click(*CLEAR_BUTTON)
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", "ctrl+z"], env=s.env, check=True)
        time.sleep(0.3)
        samples = self.record(lambda: (s.click(*PLAY_BUTTON), time.sleep(2.0)))
        back = sine_notes(samples)
        self.assertEqual(len(back), len(melody), "the take brought back played %s" % back)
        start = int((back[0] + 0.05) * harness.RATE)
        self.assertPitch(samples[start:start + 6000], 60, "the first note brought back")
        for at, live_at in zip(back, heard):
            # Relative to the first note: playback keeps the rhythm the take was played in.
            drift = (at - back[0]) - (live_at - heard[0])
            self.assertLess(abs(drift), 0.02, "a note moved by %.0f ms" % (drift * 1000))

    def test_the_take_dragged_out_of_the_timeline_drops_as_a_midi_file(self):
        """Dragged from the timeline onto another program's window, the take arrives as a
        .mid file that window can read; the file is gone once the program ends."""
        s = self.session
        s.start_app()
        s.tap(A, 0.2)  # the sound output is up before the take starts
        time.sleep(1.0)
        s.click(*RECORD_BUTTON)
        time.sleep(0.3)
        for keycode in (A, D):
            s.tap(keycode, 0.25)
            time.sleep(0.3)
        s.click(*RECORD_BUTTON)
        target = subprocess.Popen([DROP_TARGET], env=s.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.addCleanup(harness._stop, target)
        s._wait_for_window("drop target", timeout=30)
        time.sleep(0.5)

        origin = s.window.translate_coords(s.x.screen().root, 0, 0)
        move = lambda x, y: (xtest.fake_input(s.x, X.MotionNotify, x=x, y=y), s.x.sync())
        move(-origin.x + TIMELINE[0], -origin.y + TIMELINE[1])
        xtest.fake_input(s.x, X.ButtonPress, 1)
        s.x.sync()
        # In steps, as a hand moves: the drag starts past a threshold, then crosses windows.
        for step in range(1, 21):
            move(int(-origin.x + TIMELINE[0] + (65 - TIMELINE[0] + origin.x) * step / 20),
                 int(-origin.y + TIMELINE[1] + (400 - TIMELINE[1] + origin.y) * step / 20))
            time.sleep(0.05)
        time.sleep(0.3)
        self.shot()
        xtest.fake_input(s.x, X.ButtonRelease, 1)
        s.x.sync()

        line = target.stderr.readline()
        self.assertIn("file://", line, "the drop brought no file")
        path = urllib.parse.unquote(urllib.parse.urlparse(line[line.index("file://"):].strip()).path)
        self.assertTrue(path.endswith(".mid"), path)
        song = mido.MidiFile(path)
        self.assertEqual([m.note for m in song.tracks[0] if m.type == "note_on" and m.velocity],
                         [60, 64])
        # Closed as a person closes it; the window manager asks the window to close.
        subprocess.run(["xdotool", "key", "alt+F4"], env=s.env, check=True)
        s.app.wait(timeout=10)
        self.assertFalse(os.path.exists(os.path.dirname(path)), "the dragged file was left behind")

    def test_a_key_remapped_in_the_panel_plays_after_a_restart(self):
        s = self.session
        s.start_app()
        launcher, c4_cell, close = (969, 113), (231, 444), (1082, 283)
        s.click(*launcher)
        time.sleep(0.5)
        s.click(*c4_cell)
        time.sleep(0.3)
        s.tap(Z, 0.1)
        time.sleep(0.3)
        s.click(*close)
        time.sleep(0.3)
        self.shot()
        s.stop_app()

        with open(settings_file(s)) as f:
            stored = f.read()
        changed = document().replace('{"keyCode":0,"label":"A"}', '{"keyCode":6,"label":"Z"}')
        self.assertEqual(stored, settings_text(changed))

        s.start_app()
        samples = self.record(lambda: (s.tap(Z, 0.5), time.sleep(1.5)))
        onsets = harness.sound_onsets(samples)
        self.assertTrue(onsets, "the new key is silent after the restart")
        start = int((onsets[0] + 0.05) * harness.RATE)
        self.assertPitch(samples[start:start + int(0.35 * harness.RATE)], 60, "remapped key")
        freed = self.record(lambda: (s.tap(A, 0.3), time.sleep(0.2)))
        self.assertFalse(harness.sound_onsets(freed), "the old key still plays")

    def test_the_installed_program_starts_from_its_desktop_entry(self):
        s = self.session
        prefix = os.path.join(s.dir, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        # A desktop finds the program the entry names on its PATH.
        s.env["PATH"] = os.path.join(prefix, "bin") + os.pathsep + s.env["PATH"]
        s.launch_desktop_entry(
            os.path.join(prefix, "share", "applications", "io.github.tunescrib.desktop"))
        self.assertEqual(os.readlink("/proc/%d/exe" % s.app.pid),
                         os.path.join(prefix, "bin", "tunescrib"))
        self.assertKeyPlaysC4("the program started from its entry")
        self.shot()


if __name__ == "__main__":
    unittest.main()
