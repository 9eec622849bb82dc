"""The program's sound from a real server (PulseAudio, PipeWire) played with physical keys,
recorded from the null sink's monitor and measured against the render math's prediction."""

import re
import time
import unittest

import numpy

import harness
from harness import RATE, hz
from key_checks import A, BINARY, SINE_BUTTON, KeyChecks, level, sox
from pipewire_session import PipeWireSession

OUTPUT_VOLUME = 0.82
A4_KEY, C5_KEY = 43, 45  # H and K on the default key map


def predicted_output(mode, midi, seconds):
    """The device signal of one held note from its start: an independent restatement of
    the timbre (partials, attack, decay), the soft clip and the output volume."""
    t = numpy.arange(int(seconds * RATE)) / RATE
    phase = 2 * numpy.pi * hz(midi) * t
    if mode == "sine":
        level = 0.15 * numpy.minimum(t / 0.006, 1.0)
        wave = numpy.sin(phase)
    else:
        level = (0.21 * numpy.minimum(t / 0.004, 1.0) * numpy.exp(-0.1 * t)
                 * (0.3 + 0.7 * numpy.exp(-2.7 * t)))
        wave = (numpy.sin(phase) + 0.34 * numpy.sin(2 * phase + 0.015)
                + 0.14 * numpy.sin(3 * phase) + 0.07 * numpy.sin(4 * phase - 0.02)) / 1.55
    return OUTPUT_VOLUME * numpy.tanh(0.9 * level * wave)


class ProgramSound(KeyChecks, unittest.TestCase):
    def setUp(self):
        super().setUp()
        self.session.start_app()

    def record_note(self, keycode, hold, tail):
        """A note held for `hold` s, from its first sample to `tail` s after its release."""
        samples = self.record(lambda: self.session.tap(keycode, hold), tail)
        sounding = numpy.flatnonzero(numpy.abs(samples) > 1e-4)
        self.assertGreater(len(sounding), 0, "the recording holds no sound at all")
        onset = int(sounding[0])
        while onset > 0 and samples[onset - 1] != 0.0:  # back to the attack's first sample
            onset -= 1
        return samples[onset:]

    def assertLevels(self, note, mode, midi, windows):
        """The RMS sox reads in each window (seconds into the note) is the predicted one."""
        expected = predicted_output(mode, midi, max(end for _, end in windows))
        for begin, end in windows:
            part = note[int(begin * RATE):int(end * RATE)]
            heard = float(re.search(r"RMS\s+amplitude:\s+([0-9.]+)", sox(part, "-n", "stat"))[1])
            predicted = level(expected, begin, end)
            self.assertAlmostEqual(heard / predicted, 1.0, delta=0.05, msg=f"{begin}-{end} s: "
                                   f"RMS {heard:.5f} heard, {predicted:.5f} predicted")

    def check_note(self, mode, keycode, midi, hold, fade):
        note = self.record_note(keycode, hold, tail=fade + 0.5)
        self.assertPitch(note[RATE // 10:int((hold - 0.1) * RATE)], midi, f"{mode} {midi}")
        # Key events reach the program a little late or early: the windows keep clear of
        # the release by 0.1 s.
        self.assertLevels(note, mode, midi, ((0.1, 0.3), (0.4, 0.6), (hold - 0.3, hold - 0.1)))
        # Once the release has faded the voice is retired and the output is exact zeros.
        after = note[int((hold + fade + 0.15) * RATE):]
        self.assertGreater(len(after), RATE // 10, "the recording ends too soon")
        self.assertLess(float(numpy.max(numpy.abs(after))), 1e-6)

    def test_sine_a4_sounds_at_440_hz_and_falls_silent(self):
        self.session.click(*SINE_BUTTON)
        time.sleep(0.3)
        # noteOff fades a sine in 0.07 s per factor e, retired after ln(2000) of them.
        self.check_note("sine", A4_KEY, 69, hold=1.0, fade=0.532)

    def test_piano_c4_sounds_at_its_pitch_and_level(self):
        self.check_note("piano", A, 60, hold=1.0, fade=1.216)

    def test_an_idle_output_sleeps_and_the_next_note_wakes_it(self):
        s = self.session
        s.click(*SINE_BUTTON)
        s.tap(A4_KEY, 0.3)
        # The fade and two seconds of an empty table, then the stream is corked, so that
        # the server may suspend the sink (the monitor's recorder would keep it awake).
        harness.wait_until(lambda: s.sink_state() == "SUSPENDED", 6.0,
                           "the idle sink stays awake", pause=0.25)
        self.assertIn("Corked: yes", s.pactl("list", "sink-inputs"))
        note = self.record_note(C5_KEY, hold=0.5, tail=0.2)
        self.assertPitch(note[RATE // 10:RATE // 2], 72, "the note that woke the output")
        self.assertLevels(note, "sine", 72, ((0.1, 0.3), (0.3, 0.45)))

    def test_devices_of_other_rates_and_channel_counts_play_at_pitch(self):
        s = self.session
        for rate, channels, sample_format in ((44100, 1, "s16le"), (96000, 8, "float32le")):
            s.stop_app()
            s.pactl("unload-module", "module-null-sink")
            s.pactl("load-module", "module-null-sink", "sink_name=testsink", f"rate={rate}",
                    f"channels={channels}", f"format={sample_format}")
            s.pactl("set-default-sink", "testsink")
            s.start_app()
            self.assertKeyPlaysC4(f"{rate} Hz, {channels} channels")


class OnPipeWire(KeyChecks, unittest.TestCase):
    """On a private PipeWire, as Debian 12 desktops run it: the program plays through
    PipeWire's own API, and while it idles the sink suspends."""

    def new_session(self):
        return PipeWireSession(BINARY)

    def test_keys_sound_on_pipewire_also_after_the_output_rested(self):
        s = self.session
        s.env["QT_LOGGING_RULES"] = "tunescrib.audio.debug=true"
        s.start_app()
        self.assertKeyPlaysC4("the first key")
        # wireplumber suspends a sink that has idled for 5 s.
        harness.wait_until(lambda: s.sink_state() == "SUSPENDED", 12,
                           "the idle program kept the sink awake", pause=0.5)
        self.assertKeyPlaysC4("the first key after the sink suspended")
        self.shot()
        s.app.terminate()
        report = s.app.communicate(timeout=10)[1].decode()
        self.assertIn("PipeWire data thread", report, "not played through PipeWire's own API")


if __name__ == "__main__":
    unittest.main()
