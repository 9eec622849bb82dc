#!/usr/bin/python3
"""Dropouts of the real program on a busy machine: notes played after a rest long enough for
the output to go idle, alternating with notes played while it is awake, with busy processes
competing for the processors, recorded from the sink's monitor (bench/key_latency.py's
capture on tests/e2e/harness.py's private desktop and PulseAudio, or PipeWire with
--server pipewire).

A gap is a run of 16 or more exact-zero samples within the first 0.4 s of a note: the server
filling in for a client that was late (a sounding note never holds 16 exact zeros). The
same recording gives the key-to-sound latency of every note.

--buffer-msec N fixes the stream's buffer at N ms (PulseAudio's own PULSE_LATENCY_MSEC, given to
the program alone), which also keeps it from growing; bench/dropout_curve.py runs a row of them.

--normal-server runs every thread of the private PulseAudio at normal priority, its main thread
too, which relays the sink's requests and the client's blocks (the harness makes them all
real-time, as a desktop's RealtimeKit does): then the gaps of a busy machine come back, which
shows where they come from.

--no-realtime runs the program without the right to real-time scheduling (CAP_SYS_NICE
dropped; with no RealtimeKit on the machine the audio thread then stays at normal
priority), for the comparison.

Usage: bench/dropouts.py [path/to/tunescrib] [--notes 300] [--busy 2] [--no-realtime]
                          [--server pulse|pipewire] [--buffer-msec N] [--normal-server]
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

import numpy

from key_latency import A_KEY, SERVERS, add_server_option, first_audible, harness, \
    print_latencies

GAP_FRAMES = 16
NOTE_WINDOW = 0.4
HOLD = 0.2
IDLE_REST = 3.4   # the fade (1.22 s) and two seconds of an empty table: the output rests
AWAKE_REST = 1.6  # the fade is over, so the note starts from silence, but the output is awake


def zero_runs(samples):
    """Lengths of the runs of exact zeros in `samples`."""
    zero = numpy.concatenate(([False], samples == 0.0, [False]))
    edges = numpy.flatnonzero(numpy.diff(zero.astype(numpy.int8)))
    return edges[1::2] - edges[0::2]


def play(binary, server, notes, busy, realtime=True, buffer_msec=None, normal_server=False):
    """Plays `notes` notes on a fresh desktop with `busy` busy processes. buffer_msec fixes
    the stream's buffer through libpulse's PULSE_LATENCY_MSEC, for the program alone;
    normal_server takes real-time scheduling from every thread of the PulseAudio server.
    Returns {after a rest: [(latency ms, gaps, longest gap)]}, the notes not heard, the
    program's debug lines, the load average before and after and the sinks' state while the
    program idled before the first note."""
    session, capture_of = SERVERS[server]
    with session(binary) as s:
        s.env["QT_LOGGING_RULES"] = "tunescrib.audio.debug=true"
        if buffer_msec:
            s.env["PULSE_LATENCY_MSEC"] = str(buffer_msec)
        if realtime:
            s.start_app()
        else:
            s.binary = "setpriv"
            s.start_app("--inh-caps=-sys_nice", "--bounding-set=-sys_nice", binary)
        if normal_server:
            subprocess.run(["chrt", "--all-tasks", "--other", "--pid", "0", str(s.pulse_pid())],
                           check=True)
        time.sleep(IDLE_REST + 1.5)  # the module-suspend-on-idle timeout of the harness
        sink_state = sink_states(s.env)
        for _ in range(busy):
            s._spawn(["sh", "-c", "while :; do :; done"])
        load_before = os.getloadavg()[0]
        presses = []  # (press time, after a rest long enough to idle)
        with capture_of(s) as capture:
            for i in range(notes):
                time.sleep(IDLE_REST if i % 2 == 0 else AWAKE_REST)
                presses.append((time.monotonic(), i % 2 == 0))
                s.tap(A_KEY, HOLD)
            time.sleep(1.5)
        load_after = os.getloadavg()[0]
        s.app.terminate()
        report = s.app.communicate(timeout=10)[1].decode()

    times, samples = capture.times(), capture.samples()
    window = int(NOTE_WINDOW * harness.RATE)
    results = {True: [], False: []}
    missed = 0
    for pressed, idle in presses:
        heard = first_audible(times, samples, pressed)
        if heard is None:
            missed += 1
            continue
        # Back to the first sample of the attack, which starts from an exact zero.
        onset = heard
        while onset > 0 and samples[onset - 1] != 0.0:
            onset -= 1
        runs = zero_runs(samples[onset + 1:onset + window])
        gaps = runs[runs >= GAP_FRAMES]
        results[idle].append(((times[heard] - pressed) * 1000, len(gaps),
                              int(gaps.max()) if len(gaps) else 0))
    return results, missed, report, load_before, load_after, sink_state


def sink_states(env):
    """The state of every sink, as `pactl list sinks short` gives it."""
    listing = subprocess.run(["pactl", "list", "sinks", "short"], env=env, capture_output=True,
                             text=True).stdout
    return " ".join(line.split("\t")[-1] for line in listing.splitlines())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary", nargs="?", default="build/tunescrib")
    parser.add_argument("--notes", type=int, default=300)
    parser.add_argument("--busy", type=int, default=2, help="busy processes (shell loops)")
    parser.add_argument("--no-realtime", action="store_true")
    parser.add_argument("--buffer-msec", type=int,
                        help="a fixed stream buffer instead of the program's own (PulseAudio)")
    parser.add_argument("--normal-server", action="store_true",
                        help="every thread of the PulseAudio server at normal priority")
    add_server_option(parser)
    args = parser.parse_args()
    results, missed, report, load_before, load_after, sink_state = play(
        os.path.abspath(args.binary), args.server, args.notes, args.busy,
        not args.no_realtime, args.buffer_msec, args.normal_server)

    print("".join(line + "\n" for line in report.splitlines()
                  if "thread" in line or "buffer" in line), end="")
    print("load average: %.1f before, %.1f after (%d busy processes, %d processors)"
          % (load_before, load_after, args.busy, os.cpu_count()))
    print("sink while the program idles: %s" % sink_state)
    print("notes: %d, not heard: %d" % (args.notes, missed))
    for idle, label in ((True, "after a rest (output idle)"), (False, "while awake")):
        notes = results[idle]
        if not notes:
            continue
        with_gaps = [n for n in notes if n[1]]
        print("%s: %d notes, %d with gaps (%d gaps, longest %d frames)"
              % (label, len(notes), len(with_gaps), sum(n[1] for n in notes),
                 max((n[2] for n in notes), default=0)))
        print_latencies("  key to sound", [n[0] for n in notes])
    all_latencies = [n[0] for notes in results.values() for n in notes]
    if all_latencies:
        print("all notes: median key to sound %.1f ms" % statistics.median(all_latencies))
    return 0


if __name__ == "__main__":
    sys.exit(main())
