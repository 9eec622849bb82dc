#!/usr/bin/python3
"""Time from a key press injected into X to the first audible sample, on a private X server
and PulseAudio null sink (tests/e2e/harness.py).

Method: parec streams the sink's monitor as raw floats to this script, which reads whatever
has arrived in one go and stamps it with CLOCK_MONOTONIC. A sample's production time is that
stamp minus the samples that follow it in the read. A press is stamped just before the XTEST
request is flushed. Latency = (time of the first sample above the threshold) - (press time).

Uncertainty: a sample counts as produced when the sink renders it for the monitor, which the
null sink does about its configured latency (2.7 ms) before it would reach a speaker: a real
device adds its own output latency on top. The pipe to this script adds well under 1 ms. The
4 ms piano attack crosses the 0.001 threshold within its first millisecond.

After two seconds of silence the program's output sleeps; a rest of 3 s between presses
measures the first note after such a sleep, the default rest one played while awake.

Usage: bench/key_latency.py [path/to/tunescrib] [--presses N] [--rest SECONDS]
"""

import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402

A_KEY = 38
THRESHOLD = 0.001


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary", nargs="?", default="build/tunescrib")
    parser.add_argument("--presses", type=int, default=20)
    parser.add_argument("--rest", type=float, default=1.6,
                        help="seconds from a release to the next press (the fade takes 1.2)")
    args = parser.parse_args()
    presses = args.presses
    with harness.Session(args.binary) as s:
        s.start_app()
        rec = s._spawn(["parec", "--device=testsink.monitor", "--rate=48000", "--channels=1",
                        "--format=float32le", "--raw", "--latency-msec=5"],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        chunks = []  # (arrival time, samples)

        def read():
            fd, partial = rec.stdout.fileno(), b""
            while True:
                data = os.read(fd, 1 << 16)
                if not data:
                    return
                arrival = time.monotonic()
                data = partial + data
                whole = len(data) - len(data) % 4
                partial = data[whole:]
                chunks.append((arrival, numpy.frombuffer(data[:whole], dtype="<f4")))

        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        time.sleep(0.5)
        for state in ("1", "0"):
            subprocess.run(["pactl", "suspend-sink", "testsink", state], env=s.env)
        time.sleep(0.5)

        press_times = []
        for _ in range(presses):
            press_times.append(time.monotonic())
            s.key(A_KEY, True)
            time.sleep(0.2)
            s.key(A_KEY, False)
            time.sleep(args.rest)
        rec.terminate()
        reader.join(timeout=5)

    times = numpy.concatenate([arrival - (len(samples) - 1 - numpy.arange(len(samples))) / 48000
                               for arrival, samples in chunks])
    samples = numpy.concatenate([samples for _, samples in chunks])
    audible = times[numpy.abs(samples) > THRESHOLD]
    latencies = []
    for pressed in press_times:
        after = audible[audible >= pressed]
        if len(after) and after[0] - pressed < 0.5:
            latencies.append((after[0] - pressed) * 1000)
    if not latencies:
        print("no press was heard")
        return 1
    print("presses heard: %d of %d" % (len(latencies), presses))
    print("key to first audible sample: median %.1f ms, min %.1f, max %.1f, stdev %.1f"
          % (statistics.median(latencies), min(latencies), max(latencies),
             statistics.pstdev(latencies)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
