#!/usr/bin/python3
"""What buffer the real program needs on a busy machine: bench/dropouts.py's notes for a row
of fixed stream buffers (PULSE_LATENCY_MSEC), with and without real-time scheduling, and once
with the program's own buffer, which starts small and grows on an underrun. Prints one line
per run: buffer, scheduling, median key-to-sound, notes with gaps.

Usage: bench/dropout_curve.py [path/to/tunescrib] [--notes 60] [--busy 2]
                              [--buffers 5,10,20,40]
"""

import argparse
import os
import statistics
import sys

from dropouts import play


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary", nargs="?", default="build/tunescrib")
    parser.add_argument("--notes", type=int, default=60)
    parser.add_argument("--busy", type=int, default=2, help="busy processes (shell loops)")
    parser.add_argument("--buffers", default="5,10,20,40", help="fixed buffers in ms")
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    print("%d notes per run, half after a rest; %d busy processes, %d processors"
          % (args.notes, args.busy, os.cpu_count()))
    print("%-10s %-9s %8s %8s %8s %6s %9s" % ("buffer", "scheduling", "median", "idle",
                                              "awake", "gaps", "load"))
    for buffer in [None] + [int(ms) for ms in args.buffers.split(",")]:
        for realtime in (True, False):
            results, missed, _, load_before, load_after, _ = play(
                binary, "pulse", args.notes, args.busy, realtime, buffer)
            notes = results[True] + results[False]
            median = statistics.median(n[0] for n in notes) if notes else float("nan")
            idle = statistics.median(n[0] for n in results[True]) if results[True] else 0
            awake = statistics.median(n[0] for n in results[False]) if results[False] else 0
            print("%-10s %-10s %6.1f ms %5.1f ms %5.1f ms %3d/%-3d %4.1f-%.1f%s"
                  % ("%d ms" % buffer if buffer else "own", "real-time" if realtime else "normal",
                     median, idle, awake, sum(1 for n in notes if n[1]), len(notes),
                     load_before, load_after, ", %d not heard" % missed if missed else ""),
                  flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
