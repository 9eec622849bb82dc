"""The program's sound from the real server, measured: the real tunescrib on the harness's
private desktop and PulseAudio, played with physical keys, its null sink's monitor recorded
and measured with sox and numpy against what the render math predicts. A gap the server
fills with zeros inside a note (a late stream) fails the test."""

import os
import re
import subprocess
import time
import unittest

import numpy

import harness
from harness import RATE, hz
from key_checks import A, SINE_BUTTON, KeyChecks
from test_whole_program import BINARY

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


def rms(x):
    return float(numpy.sqrt(numpy.mean(numpy.square(x, dtype=numpy.float64))))


def sox_stat(path, start, length):
    """sox's own reading of a stretch of the recording: RMS and maximum amplitude."""
    result = subprocess.run(["sox", path, "-n", "trim", f"{start:.4f}", f"{length:.4f}",
                             "stat"], capture_output=True, text=True, check=True)
    values = {}
    for line in result.stderr.splitlines():
        match = re.match(r"\s*([A-Za-z ]+?):\s+(-?[0-9.]+)\s*$", line)
        if match:
            values[" ".join(match.group(1).split())] = float(match.group(2))
    return values


def attack_start(samples, index):
    """Back from a sample of a note to the first sample of its attack ramp."""
    while index > 0 and samples[index - 1] != 0.0:
        index -= 1
    return index


class ProgramSound(KeyChecks, unittest.TestCase):
    def setUp(self):
        self.session = harness.Session(BINARY).__enter__()
        self.addCleanup(self.session.close)
        self.session.start_app()

    def pactl_list(self, what):
        return subprocess.run(["pactl", "list", what], env=self.session.env,
                              capture_output=True, text=True, check=True).stdout

    def record_note(self, keycode, hold, tail):
        """One note held for `hold` seconds, recorded with `tail` seconds after it: the
        samples from the note's first, the recording's path and the note's start in it."""
        s = self.session
        buffered = []

        def play():
            s.key(keycode, True)
            time.sleep(hold / 2)
            buffered.append(re.search(r"Buffer Latency: (\d+) usec",
                                      self.pactl_list("sink-inputs")))
            time.sleep(hold / 2)
            s.key(keycode, False)
            time.sleep(tail)

        samples = self.record(play)
        sounding = numpy.flatnonzero(numpy.abs(samples) > 1e-4)
        self.assertGreater(len(sounding), 0, "the recording holds no sound at all")
        onset = attack_start(samples, int(sounding[0]))
        self.assertIsNotNone(buffered[0], "no stream of the program on the server")
        print(f"buffering measured by the server: {int(buffered[0].group(1)) / 1000:.1f} ms")
        return samples[onset:], os.path.join(s.dir, "take.wav"), onset / RATE

    def assertLevels(self, note, mode, midi, windows):
        expected = predicted_output(mode, midi, max(end for _, end in windows))
        for begin, end in windows:
            heard = rms(note[int(begin * RATE):int(end * RATE)])
            predicted = rms(expected[int(begin * RATE):int(end * RATE)])
            print(f"RMS {begin:.1f}-{end:.1f} s: {heard:.5f} heard, {predicted:.5f} predicted")
            self.assertAlmostEqual(heard / predicted, 1.0, delta=0.05)

    def check_note(self, mode, keycode, midi, hold, fade):
        note, path, start = self.record_note(keycode, hold, tail=fade + 0.5)
        self.assertPitch(note[RATE // 10:int((hold - 0.1) * RATE)], midi, f"{mode} {midi}")
        stat = sox_stat(path, start + 0.1, hold - 0.2)
        print(f"sox: RMS {stat['RMS amplitude']}, max {stat['Maximum amplitude']}")
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
        deadline = time.monotonic() + 6.0
        while "SUSPENDED" not in self.pactl_list("sinks") and time.monotonic() < deadline:
            time.sleep(0.25)
        self.assertIn("Corked: yes", self.pactl_list("sink-inputs"))
        self.assertIn("SUSPENDED", self.pactl_list("sinks"), "the idle sink stays awake")
        note, _, _ = self.record_note(C5_KEY, hold=0.5, tail=0.2)
        self.assertPitch(note[RATE // 10:RATE // 2], 72, "the note that woke the output")
        self.assertLevels(note, "sine", 72, ((0.1, 0.3), (0.3, 0.45)))

    def test_devices_of_other_rates_and_channel_counts_play_at_pitch(self):
        s = self.session
        for rate, channels, sample_format in ((44100, 1, "s16le"), (96000, 8, "float32le")):
            s.stop_app()
            for args in (("unload-module", "module-null-sink"),
                         ("load-module", "module-null-sink", "sink_name=testsink",
                          f"rate={rate}", f"channels={channels}", f"format={sample_format}"),
                         ("set-default-sink", "testsink")):
                subprocess.run(["pactl", *args], env=s.env, check=True,
                               stdout=subprocess.DEVNULL)
            s.start_app()
            samples = self.record(lambda: (s.tap(A, 0.5), time.sleep(0.2)))
            onsets = harness.sound_onsets(samples)
            self.assertTrue(onsets, f"{rate} Hz, {channels} channels: no sound")
            start = int((onsets[0] + 0.05) * RATE)
            self.assertPitch(samples[start:start + RATE // 3], 60, f"{rate} Hz, {channels} ch")


if __name__ == "__main__":
    unittest.main()
