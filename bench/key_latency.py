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

--server pipewire runs the program on a private PipeWire (its daemon, session manager and
PulseAudio server, tests/e2e/pipewire_session.py) instead of PulseAudio.

After two seconds of silence the program's output sleeps; a rest of 3 s between presses
measures the first note after such a sleep, the default rest one played while awake.

With --take N the presses come while a take of N notes is being recorded.

Usage: bench/key_latency.py [path/to/tunescrib] [--presses N] [--rest SECONDS] [--take N]
                            [--server pulse|pipewire]
"""

import argparse
import os
import statistics
import sys
import time

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
import pipewire_session  # noqa: E402
from key_checks import RECORD_BUTTON  # noqa: E402

A_KEY = 38
THRESHOLD = 0.001


# The private desktop and the capture of its sink's monitor, by sound server.
SERVERS = {"pulse": (harness.Session, harness.MonitorCapture),
           "pipewire": (pipewire_session.PipeWireSession, pipewire_session.MonitorCapture)}


def add_server_option(parser):
    parser.add_argument("--server", choices=sorted(SERVERS), default="pulse",
                        help="the sound server the program plays on")


def first_audible(times, samples, pressed, within=0.5):
    """Index of the first sample above THRESHOLD produced within `within` s of a press."""
    audible = numpy.flatnonzero((times >= pressed) & (numpy.abs(samples) > THRESHOLD))
    if len(audible) and times[audible[0]] - pressed < within:
        return int(audible[0])
    return None


def print_latencies(label, latencies):
    print("%s: median %.1f ms, min %.1f, max %.1f, stdev %.1f"
          % (label, statistics.median(latencies), min(latencies), max(latencies),
             statistics.pstdev(latencies)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary", nargs="?", default="build/tunescrib")
    parser.add_argument("--presses", type=int, default=20)
    parser.add_argument("--take", type=int, default=0,
                        help="notes recorded (as fast as X takes them) before the presses, "
                             "which go on recording")
    parser.add_argument("--rest", type=float, default=1.6,
                        help="seconds from a release to the next press (the fade takes 1.2)")
    add_server_option(parser)
    args = parser.parse_args()
    presses = args.presses
    session, capture_of = SERVERS[args.server]
    with session(args.binary) as s:
        s.start_app()
        if args.take:
            s.click(*RECORD_BUTTON)
            s.play_fast(args.take)
        with capture_of(s) as capture:
            press_times = []
            for _ in range(presses):
                press_times.append(time.monotonic())
                s.key(A_KEY, True)
                time.sleep(0.2)
                s.key(A_KEY, False)
                time.sleep(args.rest)

    times, samples = capture.times(), capture.samples()
    latencies = []
    for pressed in press_times:
        heard = first_audible(times, samples, pressed)
        if heard is not None:
            latencies.append((times[heard] - pressed) * 1000)
    if not latencies:
        print("no press was heard")
        return 1
    print("presses heard: %d of %d" % (len(latencies), presses))
    print_latencies("key to first audible sample", latencies)
    return 0


if __name__ == "__main__":
    sys.exit(main())
