#!/usr/bin/env bash
# A private PulseAudio for tests: its own runtime folder, HOME and client config, one
# 48 kHz float32 stereo null sink named testsink as the default sink, no exit on idle.
#
#   eval "$(tests/e2e/lib/private-pulse.sh start)"   # exports the environment below
#   ...play to the default sink, record testsink.monitor...
#   tests/e2e/lib/private-pulse.sh stop               # stops it by pid, removes the folder
#
# `start` prints export lines for XDG_RUNTIME_DIR, HOME, PULSE_CLIENTCONFIG and
# TUNESCRIB_PULSE_DIR (the folder holding all of it). Clients are told not to autospawn
# a server of their own, so a test that kills this one leaves no other behind. `stop`
# reads TUNESCRIB_PULSE_DIR from the environment, or takes the folder as its argument.
# Works as root too (the daemon runs per user, with the temporary HOME).
set -euo pipefail

start() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/tunescrib-pulse.XXXXXX")
    mkdir -m 700 "$dir/runtime"
    mkdir "$dir/home"
    cat >"$dir/server.pa" <<'PA'
load-module module-native-protocol-unix
load-module module-null-sink sink_name=testsink rate=48000 format=float32le channels=2
set-default-sink testsink
PA
    printf 'autospawn = no\n' >"$dir/client.conf"
    local env=(XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home"
               PULSE_CLIENTCONFIG="$dir/client.conf")
    # The daemon must not reach for a session bus or a user's own server.
    if ! env -u PULSE_SERVER -u DBUS_SESSION_BUS_ADDRESS "${env[@]}" \
        pulseaudio -n -F "$dir/server.pa" --daemonize=yes --exit-idle-time=-1 \
        --disallow-exit --log-target=stderr >"$dir/daemon.log" 2>&1; then
        cat "$dir/daemon.log" >&2
        rm -rf "$dir"
        return 1
    fi
    local tries=0
    until env -u PULSE_SERVER "${env[@]}" pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "private-pulse: the server did not answer" >&2
            stop "$dir"
            return 1
        fi
        sleep 0.05
    done
    printf 'export XDG_RUNTIME_DIR=%q HOME=%q PULSE_CLIENTCONFIG=%q TUNESCRIB_PULSE_DIR=%q\n' \
        "$dir/runtime" "$dir/home" "$dir/client.conf" "$dir"
    printf 'unset PULSE_SERVER\n'
}

stop() {
    local dir=${1:-${TUNESCRIB_PULSE_DIR:-}}
    if [ -z "$dir" ] || [ ! -d "$dir" ]; then
        return 0
    fi
    local pidfile="$dir/runtime/pulse/pid" pid
    if [ -f "$pidfile" ] && pid=$(cat "$pidfile") && [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2>/dev/null || true
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
