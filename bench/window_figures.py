#!/usr/bin/python3
"""Figures of the real window under Xvfb with a private PulseAudio: time from exec to the
first frame on screen, resident memory with the window open, and CPU while idle (nothing
sounds, nothing moves). Prints the figures; asserts nothing.

    bench/window_figures.py build/tunescrib [--runs 5] [--idle-seconds 20]
                            [--backend software]

Under Xvfb Qt Quick renders through Mesa's llvmpipe, whose LLVM code generator alone is
some 50 MiB of the resident memory; --backend software measures Qt's own rasteriser too.

The first frame is the first Damage event on the program's window: the moment its pixels
first change on the X server, waited for on the X connection, never polled.
"""

import argparse
import os
import select
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from Xlib import X  # noqa: E402
from Xlib.ext import damage  # noqa: E402


def first_frame_seconds(session):
    """Starts the program and returns the seconds from exec to its first painted frame."""
    x = session.x
    root = x.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    x.sync()
    started = time.monotonic()
    session.app = subprocess.Popen([session.binary], env=session.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    # Watch every top-level window the program creates; it paints only after mapping, so a
    # Damage made at creation cannot miss the first frame. The program's windows are told
    # from the window manager's frames by their X client (the high bits of the id): the
    # first window created after the start is the program's.
    watched = set()
    client = None
    own_bits = x.display.info.resource_id_mask  # the bits a client chooses; the rest name it
    # Qt creates and destroys helper windows; one may be gone before its Damage is made.
    x.set_error_handler(lambda error, request: None)
    deadline = started + 60
    while time.monotonic() < deadline:
        if x.pending_events() == 0:
            select.select([x.fileno()], [], [], 0.5)
            if session.app.poll() is not None:
                raise RuntimeError("tunescrib exited: " + session.app.stderr.read().decode())
        while x.pending_events():
            event = x.next_event()
            if event.type == X.CreateNotify:
                if client is None:
                    client = event.window.id & ~own_bits
                if event.window.id & ~own_bits != client:
                    continue
                watched.add(event.window.id)
                event.window.damage_create(damage.DamageReportNonEmpty)
                x.sync()
            elif event.type == x.extension_event.DamageNotify and event.drawable.id in watched:
                return time.monotonic() - started
    raise RuntimeError("no frame within a minute")


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("binary")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle-seconds", type=float, default=20.0)
    parser.add_argument("--backend", help="QT_QUICK_BACKEND for the program, e.g. software")
    args = parser.parse_args()

    frames, resident, idle = [], [], []
    for run in range(args.runs):
        with harness.Session(os.path.abspath(args.binary)) as session:
            if args.backend:
                session.env["QT_QUICK_BACKEND"] = args.backend
            session.x.damage_query_version()
            frames.append(first_frame_seconds(session))
            time.sleep(3)  # let start-up work and the first frames settle
            resident.append(resident_kib(session.app.pid))
            before = session.cpu_seconds()
            time.sleep(args.idle_seconds)
            idle.append((session.cpu_seconds() - before) / args.idle_seconds * 100)
            session.stop_app()
        print("run %d: first frame %.0f ms, RSS %.1f MiB, idle CPU %.2f %%"
              % (run + 1, frames[-1] * 1000, resident[-1] / 1024, idle[-1]), flush=True)

    print("start to first frame: median %.0f ms (min %.0f, max %.0f)"
          % (statistics.median(frames) * 1000, min(frames) * 1000, max(frames) * 1000))
    print("resident memory, window open: median %.1f MiB" % (statistics.median(resident) / 1024))
    print("CPU while idle: median %.2f %% of a core (max %.2f %%)"
          % (statistics.median(idle), max(idle)))


if __name__ == "__main__":
    main()
