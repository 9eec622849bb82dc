#!/usr/bin/env bash
# A private PipeWire for tests, with its PulseAudio server (pipewire-pulse) and session
# manager (wireplumber) on a private D-Bus session bus: its own runtime folder and HOME,
# one 48 kHz float32 stereo null sink named testsink as the default sink.
#
#   eval "$(tests/e2e/lib/private-pipewire.sh start)"   # exports the environment below
#   ...play to the default sink, record testsink.monitor (PulseAudio clients work as is)...
#   tests/e2e/lib/private-pipewire.sh stop               # stops it by pid, removes the folder
#
# `start` prints export lines for XDG_RUNTIME_DIR, HOME, PULSE_CLIENTCONFIG,
# DBUS_SESSION_BUS_ADDRESS and TUNESCRIB_PIPEWIRE_DIR (the folder holding all of it).
# The pids of the four daemons are in $TUNESCRIB_PIPEWIRE_DIR/pids, pipewire-pulse's
# alone in $TUNESCRIB_PIPEWIRE_DIR/pulse.pid. Works as root too.
set -euo pipefail

start() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/tunescrib-pipewire.XXXXXX")
    mkdir -m 700 "$dir/runtime"
    mkdir "$dir/home"
    printf 'autospawn = no\n' >"$dir/client.conf"
    export XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home" PULSE_CLIENTCONFIG="$dir/client.conf"
    export XDG_CONFIG_HOME="$dir/home/.config" XDG_STATE_HOME="$dir/home/.local/state"
    unset PULSE_SERVER PIPEWIRE_REMOTE DISPLAY WAYLAND_DISPLAY
    dbus-daemon --session --fork --address="unix:path=$dir/runtime/bus" \
        --print-pid=3 3>"$dir/pids" >/dev/null
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus"
    local daemon
    for daemon in pipewire wireplumber pipewire-pulse; do
        "$daemon" >"$dir/$daemon.log" 2>&1 &
        echo $! >>"$dir/pids"
        [ "$daemon" != pipewire-pulse ] || echo $! >"$dir/pulse.pid"
        sleep 0.2
    done
    local tries=0
    until pactl info >/dev/null 2>&1 &&
        pactl load-module module-null-sink sink_name=testsink rate=48000 \
            format=float32le channels=2 >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "private-pipewire: the server did not answer" >&2
            cat "$dir"/*.log >&2
            stop "$dir"
            return 1
        fi
        sleep 0.1
    done
    # wireplumber makes the new sink the default once it sees it.
    tries=0
    until pactl get-default-sink 2>/dev/null | grep -qx testsink; do
        pactl set-default-sink testsink >/dev/null 2>&1 || true
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "private-pipewire: testsink did not become the default sink" >&2
            stop "$dir"
            return 1
        fi
        sleep 0.1
    done
    printf 'export XDG_RUNTIME_DIR=%q HOME=%q PULSE_CLIENTCONFIG=%q ' \
        "$dir/runtime" "$dir/home" "$dir/client.conf"
    printf 'DBUS_SESSION_BUS_ADDRESS=%q TUNESCRIB_PIPEWIRE_DIR=%q\n' \
        "unix:path=$dir/runtime/bus" "$dir"
    printf 'unset PULSE_SERVER\n'
}

stop() {
    local dir=${1:-${TUNESCRIB_PIPEWIRE_DIR:-}}
    if [ -z "$dir" ] || [ ! -d "$dir" ]; then
        return 0
    fi
    local pid
    if [ -f "$dir/pids" ]; then
        for pid in $(tac "$dir/pids"); do
            kill "$pid" 2>/dev/null || true
        done
        for pid in $(cat "$dir/pids"); do
            for _ in $(seq 100); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.05
            done
            kill -KILL "$pid" 2>/dev/null || true
        done
    fi
    rm -rf "$dir"
}

case "${1:-}" in
start) start ;;
stop) stop "${2:-}" ;;
*)
    echo "usage: $0 start | stop [folder]" >&2
    exit 2
    ;;
esac
