"""What a person checks by ear and eye on any display server, as a mixin for TestCases whose
session (harness.Session or WaylandSession) presses keys by X keycode, clicks at window
coordinates and switches layouts: the 20 keys at their pitches, shortcuts refused, a held
key sounding once, a silenced key silent until pressed again (focus changes need sway's
workspaces), the key caps."""

import json
import os
import subprocess
import time

import numpy

import harness
from harness import RATE, hz

SHOTS = os.environ.get("TUNESCRIB_E2E_SHOTS", "build/e2e")
BINARY = os.environ.get("TUNESCRIB_BINARY", "build/tunescrib")
HERE = os.path.dirname(os.path.abspath(__file__))

# X keycodes of physical keys (Linux scancode + 8); the layout decides what they type.
A, D, G, Z = 38, 40, 42, 52
CONTROL, ALT, SUPER = 37, 64, 133
# The 20 note keys by offset: C of the base octave up to the G an octave and a fifth above.
NOTE_KEYS = [38, 25, 39, 26, 40, 41, 28, 42, 29, 43, 30, 44, 45, 32, 46, 33, 47, 48, 34, 51]

# Window coordinates of buttons in a new 1320 x 820 window.
RECORD_BUTTON, PLAY_BUTTON, SINE_BUTTON = (1066, 113), (1136, 113), (863, 113)
CLEAR_BUTTON, EXPORT_BUTTON = (1194, 113), (1261, 113)
OCTAVE_PLUS = (1258, 216)

# Onset level for counting notes: every attack passes it at once, a fading tail wavers
# below it (across a lower one it would count as new notes).
NOTE_ONSET = 0.01
# A run of this many exact zeros inside a sound is a gap.
GAP_FRAMES = 16


def gaps(samples):
    """Lengths of the runs of exact zeros inside a sound (not before or after it): the
    server filling in for a stream that was late. A sounding note holds no such run."""
    zero = numpy.concatenate(([False], samples == 0.0, [False]))
    edges = numpy.flatnonzero(zero[1:] != zero[:-1])
    return [int(end - start) for start, end in zip(edges[::2], edges[1::2])
            if end - start >= GAP_FRAMES and 0 < start and end < len(samples)
            and min(abs(samples[start - 1]), abs(samples[end])) > 0.005]


def sox(samples, *args):
    """What sox says of the samples, given the rest of its command line."""
    return subprocess.run(["sox", "-t", "f32", "-r", str(RATE), "-c", "1", "-", *args],
                          input=samples.astype("<f4").tobytes(), capture_output=True,
                          check=True).stderr.decode()


def notes(samples):
    """Start times (s) of the notes: attacks after at least 0.2 s below the onset level."""
    return harness.sound_onsets(samples, threshold=NOTE_ONSET, gap_blocks=200)


def level(samples, start, end):
    """RMS of the samples from `start` to `end` seconds."""
    part = samples[int(start * RATE):int(end * RATE)]
    return float(numpy.sqrt(numpy.mean(part ** 2))) if len(part) else 0.0


class KeyChecks:
    def setUp(self):
        self.session = self.new_session().__enter__()
        self.addCleanup(self.session.close)
        # The program plays through libpulse with a 30 ms buffer here, not its own 8 ms: on
        # a virtual machine the server now and then stalls long enough to empty even 16 ms,
        # and that gap is the machine's, not the program's. A gap the program makes (a block
        # lost or late by its own doing) still shows. bench/dropouts.py measures the
        # program's own buffer on the machine at hand.
        self.session.env["PULSE_LATENCY_MSEC"] = "30"

    def new_session(self):
        return harness.Session(BINARY)

    def kept(self, suffix):
        """A path under SHOTS, named for the test, for a file a person looks at."""
        os.makedirs(SHOTS, exist_ok=True)
        return os.path.join(SHOTS, self.id().rsplit(".", 1)[1] + suffix)

    def shot(self, suffix=""):
        self.session.screenshot(self.kept(suffix + ".png"))

    def record(self, *actions):
        """The sink's monitor while `actions` run (a number is a pause in seconds). A gap
        inside a sound fails the test and keeps the recording for a person to hear."""
        with harness.MonitorCapture(self.session) as capture:
            for action in actions:
                action() if callable(action) else time.sleep(action)
            time.sleep(0.1)
        samples = capture.samples().astype(numpy.float64)
        if gaps(samples):
            sox(samples, self.kept("-gaps.wav"))
            self.fail("gaps inside the sound (frames) %s, recording kept in %s"
                      % (gaps(samples), self.kept("-gaps.wav")))
        return samples

    def assertPitch(self, samples, midi, what):
        found = harness.fundamental(samples)
        self.assertLess(abs(found / hz(midi) - 1), 0.01,
                        "%s: heard %.1f Hz, expected %.1f Hz" % (what, found, hz(midi)))

    def assertSoundsAt(self, samples, midi, what, onset=None, seconds=0.35):
        """The note starting at `onset` (the first sound's when None) is at `midi`'s pitch."""
        if onset is None:
            onsets = harness.sound_onsets(samples)
            self.assertTrue(onsets, what + ": no sound")
            onset = onsets[0]
        start = int((onset + 0.05) * RATE)
        self.assertPitch(samples[start:start + int(seconds * RATE)], midi, what)

    def assertKeyPlaysC4(self, what, key=A):
        self.assertSoundsAt(self.record(lambda: self.session.tap(key, 0.5), 0.2), 60, what)

    def assertSameRhythm(self, times, reference, tolerance):
        """The notes at `times` keep the rhythm of those at `reference`."""
        for at, then in zip(times, reference):
            moved = (at - times[0]) - (then - reference[0])
            self.assertLess(abs(moved), tolerance, "a note moved by %.0f ms" % (moved * 1000))

    def assertEndsSilent(self, samples, seconds):
        end = len(samples) / RATE
        self.assertLess(level(samples, end - seconds, end), 1e-4, "the recording ends in sound")

    def check_caps(self, *layouts):
        """For each (layout, caps by note) in turn: switched to that layout (unless None)
        while the program runs, the keys' accessible names come to end in those caps. A
        screen reader in a process of its own reads them, as the session bus's user."""
        for layout, caps in layouts:
            if layout:
                self.session.set_layout(layout)
            names = {}

            def shown():
                names.update(json.loads(self.session.run(
                    "/usr/bin/python3", "screen_reader.py", cwd=HERE, capture_output=True,
                    text=True, timeout=30, check=True).stdout))
                return all(names.get(note, "").endswith(" " + cap) for note, cap in caps.items())
            harness.wait_until(shown, 10, lambda: "key names %s, expected caps %s"
                               % (names, caps), pause=0.3)
            self.shot("-" + layout if layout else "")

    def check_twenty_keys(self, layouts):
        """Every note key at its pitch, on each layout: the physical key counts, not what
        the layout types. Played with the sine, whose short release parts the notes."""
        s = self.session
        s.click(*SINE_BUTTON)
        for layout in layouts:
            s.set_layout(layout)
            steps = []
            for keycode in NOTE_KEYS:
                steps += [lambda k=keycode: s.tap(k, 0.25), 0.45]
            samples = self.record(*steps, 0.5)  # the next recording starts silent
            # The semitone of each stretch of sound, in order. When the machine is so busy
            # that keys are passed on in bursts, notes run together; a note not heard in its
            # place is played again on its own.
            loud = harness.rms_envelope(samples, 1200) > 3 * NOTE_ONSET
            edges = numpy.flatnonzero(numpy.diff(numpy.concatenate(([0], loud, [0])))) * 1200
            heard = [round(69 + 12 * numpy.log2(harness.fundamental(samples[a:b]) / 440))
                     for a, b in zip(edges[::2] + 1200, edges[1::2] - 1200) if b - a >= 2400]
            for offset, keycode in enumerate(NOTE_KEYS):
                if 60 + offset in heard:
                    heard = heard[heard.index(60 + offset) + 1:]
                else:
                    alone = self.record(lambda k=keycode: s.tap(k, 0.3), 0.5)
                    self.assertSoundsAt(alone, 60 + offset, "%s key %d" % (layout, keycode),
                                        onset=notes(alone)[0], seconds=0.15)

    def check_modifiers_refused(self):
        """A with Control, Alt or Super held is a shortcut, never a note; A alone plays."""
        s = self.session

        def with_modifier(modifier):
            s.key(modifier, True)
            s.tap(A, 0.3)
            s.key(modifier, False)

        samples = self.record(lambda: with_modifier(CONTROL), 0.3, lambda: with_modifier(ALT),
                              0.3, lambda: with_modifier(SUPER), 0.3, lambda: s.tap(A, 0.3), 0.5)
        self.assertEqual(len(notes(samples)), 1, "a key with a modifier played")

    def check_hold_sounds_once(self):
        samples = self.record(lambda: self.session.tap(A, 2.0), 1.0)
        # Gaps the server fills with zeros when the machine is too busy are not our sound.
        samples = samples[samples != 0.0]
        onset = harness.sound_onsets(samples)[0]
        env = harness.rms_envelope(samples[int((onset + 0.05) * RATE):int((onset + 1.9) * RATE)])
        # The piano envelope only falls while held; a retrigger would jump back up.
        self.assertLess((env[1:] / env[:-1]).max(), 1.15, "the envelope jumped back up")
        self.assertEqual(len(harness.sound_onsets(samples)), 1)

    def check_focus_loss(self):
        """A key held while the focus goes away stops, and stays silent when the focus comes
        back, whether it was released meanwhile or is still held."""
        s = self.session
        for still_held in (False, True):  # an empty workspace takes the keyboard meanwhile
            samples = self.record(lambda: s.key(A, True), 0.6, lambda: s.swaymsg("workspace", "2"),
                                  0.3, lambda: still_held or s.key(A, False),
                                  lambda: s.swaymsg("workspace", "1"), 1.5, lambda: s.key(A, False))
            self.assertEqual(len(notes(samples)), 1, "still held %s: the note sounded again "
                             "after focus came back" % still_held)
            # Released on focus loss: the 0.16 s-per-e fade is over long before the end.
            self.assertEndsSilent(samples, 0.5)

    def check_silenced_keys_stay_silent(self):
        """Hold A and click octave +: silent after the click until A is pressed again, then
        C5. Hold A and start a recording: the take stays empty."""
        s = self.session

        def held_through(button, *then):
            samples = self.record(lambda: s.key(A, True), 0.5, lambda: s.click(*button), 1.5,
                                  lambda: s.key(A, False), *then)
            onsets = notes(samples)
            # From past the release's fade to the end of the hold.
            self.assertLess(level(samples, onsets[0] + 1.3, onsets[0] + 1.9),
                            level(samples, onsets[0] + 0.1, onsets[0] + 0.4) / 100,
                            "the held key sounded again after clicking %s" % (button,))
            return samples, onsets

        samples, onsets = held_through(OCTAVE_PLUS, 0.3, lambda: s.tap(A, 0.5), 0.8)
        self.assertEqual(len(onsets), 2, "notes at %s" % onsets)
        self.assertSoundsAt(samples, 72, "pressed again", onset=onsets[1])
        samples, onsets = held_through(RECORD_BUTTON, lambda: s.click(*RECORD_BUTTON), 0.5,
                                       lambda: s.click(*PLAY_BUTTON), 1.0)
        self.assertEqual(len(onsets), 1, "the held key was recorded or played: %s" % onsets)
        self.assertEndsSilent(samples, 1.0)
        self.shot()
