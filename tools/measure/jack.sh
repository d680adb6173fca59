#!/bin/bash
# The program as a JACK client, under Xvfb: CPU of the program and of jackd playing and stopped,
# then xruns, periods mixed from the last state and wrong beat intervals in a long run with four
# busy processes.
#
#   tools/measure/jack.sh [work folder]     (build first: build/brevant)
#
# It starts a dummy JACK server of its own (48000 Hz, PERIOD frames a period, 256 unless set; a
# server name of its own), records brevant:left with jackrecord (beside this script: a client in the server's graph,
# which a loaded machine cannot starve as it can jack_rec's writer thread), and reads the xrun
# counts from the program's own closing line. SOAK_SECONDS sets the long run (600).
set -u
BREVANT_BUILD=${BREVANT_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-jack-XXXXXX)}
mkdir -p "$WORK"
SOAK_SECONDS=${SOAK_SECONDS:-600}
PERIOD=${PERIOD:-256}
TICKS=$(getconf CLK_TCK)
export JACK_DEFAULT_SERVER=brevant20-measure-$$
g++ -O2 -std=c++20 -o "$WORK/clicks" "$BREVANT_ROOT/tools/measure/clicks.cpp" || exit 1
g++ -O2 -std=c++20 -o "$WORK/jackrecord" "$BREVANT_ROOT/tools/measure/jackrecord.cpp" -ljack || exit 1

SERVER_PID=
# jackd is asked to end (not killed) so that it leaves the machine's JACK registry clean.
start_server() {
    jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "$PERIOD" >"$WORK/jackd.log" 2>&1 &
    SERVER_PID=$!
    for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "jackd did not start" >&2
    return 1
}

stop_server() {
    [ -n "$SERVER_PID" ] && kill -TERM "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
    SERVER_PID=
}

start_app_on_jack() {
    env -i PATH=/usr/bin:/bin HOME="$APP_DIR" XDG_CONFIG_HOME="$APP_DIR/config" \
        DISPLAY="$DISPLAY" SDL_VIDEODRIVER=x11 BREVANT_AUDIO=jack \
        JACK_DEFAULT_SERVER="$JACK_DEFAULT_SERVER" \
        "$APP_DIR/$APP_EXE" >"$APP_DIR/output.log" 2>&1 &
    APP_PID=$!
}

# Percent of one core over $1 seconds for the program and jackd, side by side.
cpu_pair() {
    local a0 b0 a1 b1
    a0=$(cpu_ticks "$APP_PID"); b0=$(cpu_ticks "$SERVER_PID")
    sleep "$1"
    a1=$(cpu_ticks "$APP_PID"); b1=$(cpu_ticks "$SERVER_PID")
    awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) -v t="$TICKS" -v s="$1" \
        'BEGIN { printf "program %.2f %%, jackd %.2f %% of one core", 100 * a / t / s, 100 * b / t / s }'
}

# Beat intervals in frames of a recording, and how many are not the given beat.
wrong_intervals() {
    "$WORK/clicks" "$1" | grep -v '^#' | awk -v beat="$2" 'NR > 1 { d = $1 - p; n++; if (d != beat) { w++; printf "  wrong interval %d: %d\n", n, d > "/dev/stderr" } } { p = $1 } END { printf "%d of %d intervals wrong\n", w, n }'
}

start_desk || exit 1
start_server || exit 1
trap 'stop_busy; stop_app; stop_server; stop_desk' EXIT
echo "load before: $(uptime)"

basic_figures() {
    make_app_dir "$(settings_with 0.4 4 true)"
    start_app_on_jack
    wait_main || return 1
    sleep 1
    echo "opened: $(grep -m1 'sound through' "$APP_DIR/output.log" | sed 's/^brevant: //')"
    echo "CPU, stopped, 20 s: $(cpu_pair 20)"
    xdotool key space
    sleep 2
    echo "CPU, playing, 20 s: $(cpu_pair 20)"
    focus_main
    xdotool key space
    stop_app
    rm -rf "$APP_DIR"
}

soak_figures() {
    make_app_dir "$(settings_with 0.4 4 true)"
    start_app_on_jack
    wait_main || return 1
    sleep 1
    "$WORK/jackrecord" "$SOAK_SECONDS" "$WORK/soak.raw" &
    local recorder=$!
    xdotool key space
    start_busy
    echo "soak: $SOAK_SECONDS s at 120 BPM with four busy processes; load during it:"
    sleep "$((SOAK_SECONDS / 2))"
    echo "  $(uptime)"
    sleep "$((SOAK_SECONDS - SOAK_SECONDS / 2))"
    stop_busy
    wait $recorder
    focus_main
    xdotool key space
    sleep 0.5
    stop_app
    echo "soak: $(wrong_intervals "$WORK/soak.raw" 24000 2>"$WORK/soak-wrong.txt")"
    head -5 "$WORK/soak-wrong.txt"
    grep -E 'xrun|last state|closed' "$APP_DIR/output.log" | sed 's/^brevant: /log: /'
    rm -rf "$APP_DIR" "$WORK/soak.raw"
}

case "${ONLY:-all}" in
    basic) basic_figures ;;
    soak) soak_figures ;;
    *) basic_figures; soak_figures ;;
esac
echo "load after: $(uptime)"
