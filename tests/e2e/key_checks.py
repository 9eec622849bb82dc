"""What a person checks by ear on any display server: the 20 keys at their pitches on two
layouts, a held key sounding once, shortcuts refused, and a key silenced while held (by a
focus loss, an octave change, a recording) staying silent until it is pressed again.

A mixin for unittest.TestCase classes whose self.session is a harness.Session or a
wayland_session.WaylandSession: both press keys by X keycode, click at window
coordinates and switch layouts; the focus checks need the Wayland session's workspaces."""

import os
import shutil
import time

import numpy

import harness
from harness import hz

SHOTS = os.environ.get("TUNESCRIB_E2E_SHOTS", "build/e2e")

# X keycodes of physical keys (Linux scancode + 8); the layout decides what they type.
A, S, D, G, W, Z, SEMICOLON, COLON_JIS, BRACKET_JIS = 38, 39, 40, 42, 25, 52, 47, 48, 51
CONTROL, ALT, SUPER = 37, 64, 133
# The 20 note keys by offset: C of the base octave up to the G an octave and a fifth above.
NOTE_KEYS = [38, 25, 39, 26, 40, 41, 28, 42, 29, 43, 30, 44, 45, 32, 46, 33, 47, 48, 34, 51]

# Window coordinates of buttons in a new 1320 x 820 window.
RECORD_BUTTON, PLAY_BUTTON, SINE_BUTTON = (1066, 113), (1136, 113), (863, 113)
CLEAR_BUTTON, EXPORT_BUTTON = (1194, 113), (1261, 113)
OCTAVE_PLUS = (1258, 216)

# Onset level for counting notes: well above a fading tail, which would otherwise count as
# a new note each time it wavers across a lower threshold; every attack passes it at once.
NOTE_ONSET = 0.01
# A run of this many exact zeros inside a sound is a gap.
GAP_FRAMES = 16


def semitone(frequency):
    """The MIDI note nearest to a frequency."""
    return round(69 + 12 * numpy.log2(frequency / 440))


def gaps(samples):
    """Lengths of the runs of exact zeros inside a sound (not before or after it): the
    server filling in for a stream that was late. A sounding note holds no such run."""
    zero = numpy.concatenate(([False], samples == 0.0, [False]))
    edges = numpy.flatnonzero(zero[1:] != zero[:-1])
    return [int(end - start) for start, end in zip(edges[::2], edges[1::2])
            if end - start >= GAP_FRAMES and 0 < start and end < len(samples)
            and min(abs(samples[start - 1]), abs(samples[end])) > 0.005]


def notes(samples):
    """Start times (s) of the notes: attacks after at least 0.2 s below the onset level."""
    return harness.sound_onsets(samples, threshold=NOTE_ONSET, gap_blocks=200)


def level(samples, start, end):
    """RMS of the samples from `start` to `end` seconds."""
    part = samples[int(start * harness.RATE):int(end * harness.RATE)]
    return float(numpy.sqrt(numpy.mean(part ** 2))) if len(part) else 0.0


class KeyChecks:
    def shot(self, suffix=""):
        name = self.id().rsplit(".", 1)[1] + suffix + ".png"
        self.session.screenshot(os.path.join(SHOTS, name))

    def record(self, action):
        """The sink's monitor while `action` runs. A gap inside a sound fails the test."""
        path = os.path.join(self.session.dir, "take.wav")
        with self.session.recording(path):
            action()
        samples = harness.read_wav(path)
        if gaps(samples):
            kept = os.path.join(SHOTS, self.id().rsplit(".", 1)[1] + "-gaps.wav")
            os.makedirs(SHOTS, exist_ok=True)
            shutil.copyfile(path, kept)
            self.fail("gaps inside the sound (frames) %s, recording kept in %s"
                      % (gaps(samples), kept))
        return samples

    def assertPitch(self, samples, midi, what):
        found = harness.fundamental(samples)
        self.assertLess(abs(found / hz(midi) - 1), 0.01,
                        "%s: heard %.1f Hz, expected %.1f Hz" % (what, found, hz(midi)))

    def assertEndsSilent(self, samples, seconds=0.2):
        tail = samples[-int(seconds * harness.RATE):]
        self.assertLess(numpy.sqrt(numpy.mean(tail ** 2)), 1e-4, "the recording ends in sound")

    def check_twenty_keys(self, layouts):
        """Every note key at its pitch, on each layout: the physical key counts, not what
        the layout types. Played with the sine, whose short release parts the notes."""
        s = self.session
        s.click(*SINE_BUTTON)
        for layout in layouts:
            s.set_layout(layout)

            def play():
                for keycode in NOTE_KEYS:
                    s.tap(keycode, 0.25)
                    time.sleep(0.45)
                time.sleep(0.5)  # the next recording starts silent

            samples = self.record(play)
            # The semitone of each stretch of sound. When the machine is so busy that the
            # compositor passes keys on in bursts, notes run together; a note not heard
            # apart is played again on its own.
            loud = harness.rms_envelope(samples, 1200) > 3 * NOTE_ONSET
            edges = numpy.flatnonzero(numpy.diff(numpy.concatenate(([0], loud, [0]))))
            heard = set()
            for first, last in zip(edges[::2] * 1200, edges[1::2] * 1200):
                middle = samples[first + 1200:last - 1200]
                if len(middle) >= 2400:
                    heard.add(semitone(harness.fundamental(middle)))
            for offset, keycode in enumerate(NOTE_KEYS):
                if 60 + offset not in heard:
                    alone = self.record(lambda k=keycode: (
                        s.tap(k, 0.3), time.sleep(0.5)))
                    start = int((notes(alone)[0] + 0.05) * harness.RATE)
                    self.assertPitch(alone[start:start + 7200], 60 + offset,
                                     "%s key %d" % (layout, keycode))

    def check_hold_sounds_once(self):
        samples = self.record(lambda: (self.session.tap(A, 2.0), time.sleep(1.0)))
        # Gaps the server fills with zeros when the machine is too busy are not our sound.
        samples = samples[samples != 0.0]
        onset = harness.sound_onsets(samples)[0]
        held = samples[int((onset + 0.05) * harness.RATE):int((onset + 1.9) * harness.RATE)]
        env = harness.rms_envelope(held)
        # The piano envelope only falls while held; a retrigger would jump back up.
        rises = env[1:] / env[:-1]
        self.assertLess(rises.max(), 1.15, "the envelope jumped back up: a retrigger")
        self.assertEqual(len(harness.sound_onsets(samples)), 1)

    def check_modifiers_refused(self):
        """A with Control, Alt or Super held is a shortcut, never a note; A alone plays."""
        s = self.session

        def play():
            for modifier in (CONTROL, ALT, SUPER):
                s.key(modifier, True)
                s.tap(A, 0.3)
                s.key(modifier, False)
                time.sleep(0.3)
            s.tap(A, 0.3)
            time.sleep(0.5)

        onsets = notes(self.record(play))
        self.assertEqual(len(onsets), 1, "a key with a modifier played: %s" % onsets)

    def check_focus_loss(self):
        """A key held while the focus goes away stops, and stays silent when the focus comes
        back, whether it was released meanwhile or is still held."""
        s = self.session
        for still_held in (False, True):
            def hold_then_switch():
                s.key(A, True)
                time.sleep(0.6)
                s.focus_away()
                time.sleep(0.3)
                if not still_held:
                    s.key(A, False)
                s.focus_back()
                time.sleep(1.5)
                s.key(A, False)

            samples = self.record(hold_then_switch)
            onsets = notes(samples)
            self.assertEqual(len(onsets), 1, "still held %s: the note sounded again after "
                             "focus came back" % still_held)
            # Released on focus loss: the 0.16 s-per-e fade is over long before the end.
            self.assertEndsSilent(samples, 0.5)

    def check_silenced_keys_stay_silent(self):
        """Hold A and click octave +: silent after the click until A is pressed again, then
        C5. Hold A and start a recording: the take stays empty."""
        s = self.session

        def hold_a_and_click(button):
            s.key(A, True)
            time.sleep(0.5)
            s.click(*button)
            time.sleep(1.5)
            s.key(A, False)

        def assertSilencedByTheClick(samples, onsets, what):
            held = level(samples, onsets[0] + 0.1, onsets[0] + 0.4)
            # Past the release's fade, up to the end of the hold.
            after = level(samples, onsets[0] + 1.3, onsets[0] + 1.9)
            self.assertLess(after, held / 100, "the held key sounded again after " + what)

        samples = self.record(lambda: (
            hold_a_and_click(OCTAVE_PLUS), time.sleep(0.3), s.tap(A, 0.5), time.sleep(0.8)))
        onsets = notes(samples)
        self.assertEqual(len(onsets), 2, "notes at %s" % onsets)
        assertSilencedByTheClick(samples, onsets, "octave +")
        start = int((onsets[1] + 0.05) * harness.RATE)
        self.assertPitch(samples[start:start + int(0.35 * harness.RATE)], 72, "pressed again")

        samples = self.record(lambda: (
            hold_a_and_click(RECORD_BUTTON), s.click(*RECORD_BUTTON), time.sleep(0.5),
            s.click(*PLAY_BUTTON), time.sleep(1.0)))
        onsets = notes(samples)
        self.assertEqual(len(onsets), 1, "the held key was recorded or played: %s" % onsets)
        assertSilencedByTheClick(samples, onsets, "the recording started")
        self.assertEndsSilent(samples, 1.0)
        self.shot()
