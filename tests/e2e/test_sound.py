"""Sound from the real server, measured: each case starts the harness's private PulseAudio
(without a desktop), records the null sink's monitor while sound_probe plays through
SynthEngine and the program's output, and measures the recording with sox and numpy against
what the render math predicts."""

import contextlib
import os
import re
import subprocess
import tempfile
import time
import unittest

import numpy

import harness
from harness import RATE, hz

PROBE = os.environ.get("SOUND_PROBE", "")
OUTPUT_VOLUME = 0.82


class SoundSession(harness.Session):
    """The harness's folder and sound server alone: the probe needs no desktop."""

    def _start_x(self):
        pass


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
    """sox's own reading of a stretch of the recording: RMS amplitude, maximum amplitude
    and rough (zero-crossing) frequency."""
    result = subprocess.run(["sox", path, "-n", "trim", f"{start:.4f}", f"{length:.4f}",
                             "stat"], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(result.stderr)
    values = {}
    for line in result.stderr.splitlines():
        match = re.match(r"\s*([A-Za-z ]+?):\s+(-?[0-9.]+)\s*$", line)
        if match:
            values[" ".join(match.group(1).split())] = float(match.group(2))
    return values


def close_dropouts(samples, onset):
    """Removes the runs of exact zeros that the server plays when the stream is late
    (under load), so that what follows lines up with the prediction again. A sounding
    note has no such runs of its own; the silence after the last sound is kept.
    Returns the samples and the number of runs removed."""
    sounding = numpy.flatnonzero(samples)
    end = int(sounding[-1]) + 1 if len(sounding) else onset
    zero = numpy.concatenate(([False], samples[onset:end] == 0.0, [False]))
    edges = numpy.flatnonzero(numpy.diff(zero.astype(numpy.int8)))
    keep = numpy.ones(len(samples), dtype=bool)
    dropouts = 0
    for first, last in zip(edges[0::2], edges[1::2]):
        if last - first >= 8:
            keep[onset + first:onset + last] = False
            dropouts += 1
    return samples[keep], dropouts


def write_samples(path, samples):
    subprocess.run(["sox", "-t", "f32", "-r", str(RATE), "-c", "1", "-", path],
                   input=samples.astype(numpy.float32).tobytes(), check=True)


def attack_start(samples, index):
    """Back from a sample of a note to the first sample of its attack ramp."""
    while index > 0 and samples[index - 1] != 0.0:
        index -= 1
    return index


class SoundFromTheServer(unittest.TestCase):

    def run_probe(self, env, *args, while_running=None, timeout=30):
        probe = subprocess.Popen([PROBE, *args], env=env, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True)
        try:
            if while_running:
                while_running()
            stdout, stderr = probe.communicate(timeout=timeout)
        finally:
            if probe.poll() is None:
                probe.kill()
                probe.wait()
        print(stdout, end="")
        self.assertEqual(probe.returncode, 0, stdout + stderr)
        self.assertEqual(stderr, "", "nothing is printed on a normal run")
        return stdout

    def buffering(self, env):
        """The server's own measure of the sound waiting in our stream's buffer, in ms."""
        time.sleep(0.6)
        listing = subprocess.run(["pactl", "list", "sink-inputs"], env=env,
                                 capture_output=True, text=True, check=True).stdout
        match = re.search(r"Buffer Latency: (\d+) usec", listing)
        self.assertIsNotNone(match, listing)
        print(f"buffering measured by the server: {int(match.group(1)) / 1000:.1f} ms")
        return int(match.group(1)) / 1000

    def stream_corks_while_asleep(self, env):
        """Whether the probe's stream is corked at some moment of its 2.5 s of sleep,
        which begins about 3 s after it starts (and not as it opens, corked until it plays)."""
        time.sleep(2.0)
        deadline = time.monotonic() + 4.5
        while time.monotonic() < deadline:
            listing = subprocess.run(["pactl", "list", "sink-inputs"], env=env,
                                     capture_output=True, text=True).stdout
            if "Corked: yes" in listing:
                return True
            time.sleep(0.25)
        return False

    def record_note(self, path, mode, midi, hold, tail):
        with SoundSession(PROBE) as server, server.recording(path):
            buffered = []
            output = self.run_probe(server.env, "play", mode, str(midi), str(hold), str(tail),
                                    while_running=lambda: buffered.append(
                                        self.buffering(server.env)))
            # Small, unless the machine was too busy to keep it so and the program said so.
            if "grown after an underrun" not in output:
                self.assertLess(buffered[0], 10.0)
            time.sleep(0.2)
        samples = harness.read_wav(path)
        onset = int(numpy.argmax(numpy.abs(samples) > 1e-4))
        self.assertGreater(onset, 0, "the recording holds no sound at all")
        onset = attack_start(samples, onset)
        samples, dropouts = close_dropouts(samples, onset)
        if dropouts:
            print(f"{dropouts} dropouts of the server closed before measuring")
            write_samples(path, samples)
        return samples, onset

    def check_note(self, mode, midi, hold, fade):
        with tempfile.TemporaryDirectory(prefix="tunescrib-sound-") as folder:
            path = os.path.join(folder, "note.wav")
            samples, onset = self.record_note(path, mode, midi, hold, tail=fade + 0.5)
            self.check_recording(path, samples, onset, mode, midi, hold, fade)

    def check_recording(self, path, samples, onset, mode, midi, hold, fade):
        start = onset / RATE

        held = samples[onset + RATE // 10:onset + int((hold - 0.1) * RATE)]
        frequency = harness.fundamental(held)
        print(f"{mode} MIDI {midi}: {frequency:.2f} Hz heard, {hz(midi):.2f} Hz expected")
        self.assertAlmostEqual(frequency / hz(midi), 1.0, delta=0.01)

        # sox's rough frequency counts zero crossings, which the zeros of a server dropout
        # throw off; it is printed for a person, and the spectral peak above is the check.
        stat = sox_stat(path, start + 0.1, hold - 0.2)
        print(f"sox: RMS {stat['RMS amplitude']}, max {stat['Maximum amplitude']}, "
              f"rough frequency {stat['Rough frequency']}")

        expected = predicted_output(mode, midi, hold)
        for begin, end in ((0.1, 0.3), (0.4, 0.6), (hold - 0.3, hold - 0.1)):
            heard = rms(samples[onset + int(begin * RATE):onset + int(end * RATE)])
            predicted = rms(expected[int(begin * RATE):int(end * RATE)])
            print(f"RMS {begin:.1f}-{end:.1f} s: {heard:.5f} heard, {predicted:.5f} predicted")
            self.assertAlmostEqual(heard / predicted, 1.0, delta=0.05)

        # Once the release has faded the voice is retired and the output is exact zeros.
        silent_from = onset + int((hold + fade + 0.1) * RATE)
        after = samples[silent_from:]
        self.assertGreater(len(after), RATE // 10, "the recording ends too soon")
        print(f"after the release: {len(after) / RATE:.2f} s, "
              f"peak {numpy.max(numpy.abs(after)):.2e}")
        self.assertLess(float(numpy.max(numpy.abs(after))), 1e-6)

    def test_sine_a4_sounds_at_440_hz_and_falls_silent(self):
        # noteOff fades a sine in 0.07 s per factor e, retired after ln(2000) of them.
        self.check_note("sine", 69, hold=1.0, fade=0.532)

    def test_piano_c4_sounds_at_its_pitch_and_level(self):
        self.check_note("piano", 60, hold=1.0, fade=1.216)

    def test_an_idle_output_sleeps_and_the_next_note_wakes_it(self):
        with tempfile.TemporaryDirectory(prefix="tunescrib-sound-") as folder:
            path = os.path.join(folder, "wake.wav")
            corked = []
            with SoundSession(PROBE) as server, server.recording(path):
                output = self.run_probe(server.env, "sleep-and-wake", timeout=40,
                                        while_running=lambda: corked.append(
                                            self.stream_corks_while_asleep(server.env)))
                time.sleep(0.2)
            self.assertIn("asleep yes", output)
            # A corked stream lets the server suspend the sink (the recorder keeps this one
            # awake; bench/dropouts.py shows it suspended).
            self.assertEqual(corked, [True], "the sleeping output's stream is not corked")
            samples = harness.read_wav(path)
        sounding = numpy.flatnonzero(numpy.abs(samples) > 1e-4)
        self.assertGreater(len(sounding), 0, "the recording holds no sound at all")
        # The second note is the sound after the long quiet that let the output sleep.
        gaps = numpy.flatnonzero(numpy.diff(sounding) > 3 * RATE)
        self.assertEqual(len(gaps), 1, "expected two notes with a quiet of over 3 s between")
        onset = attack_start(samples, int(sounding[gaps[0] + 1]))
        samples, _ = close_dropouts(samples, onset)
        held = samples[onset + RATE // 10:onset + RATE // 2]
        self.assertAlmostEqual(harness.fundamental(held) / hz(72), 1.0, delta=0.01)
        # The level of a note that did not wake anything. The attack is only printed: when
        # a stream's underrun ends the server rewinds the sink a few milliseconds, and the
        # monitor, which cannot take back what it already recorded, may then miss the
        # start of a note that a real sink plays whole.
        expected = predicted_output("sine", 72, 0.5)
        for begin, end in ((0.0, 0.006), (0.1, 0.3), (0.3, 0.5)):
            heard = rms(samples[onset + int(begin * RATE):onset + int(end * RATE)])
            predicted = rms(expected[int(begin * RATE):int(end * RATE)])
            print(f"RMS {begin:.3f}-{end:.3f} s: {heard:.5f} heard, {predicted:.5f} predicted")
            if begin > 0.0:
                self.assertAlmostEqual(heard / predicted, 1.0, delta=0.05)

    def test_the_engine_survives_the_server_dying_mid_note(self):
        with SoundSession(PROBE) as server:
            output = self.run_probe(server.env, "server-dies")
        self.assertIn("running-after-1s no", output)

    def test_a_frozen_server_fails_the_start_within_two_seconds(self):
        with SoundSession(PROBE) as server:
            output = self.run_probe(server.env, "frozen-server")
        self.assertRegex(output, r"start-error \S")

    def test_no_server_gives_a_readable_start_error(self):
        # The session's own folder and client config, its server never started.
        with contextlib.closing(SoundSession(PROBE)) as nothing:
            output = self.run_probe(nothing.env, "no-server")
        self.assertRegex(output, r"start-error \S")


if __name__ == "__main__":
    unittest.main()
