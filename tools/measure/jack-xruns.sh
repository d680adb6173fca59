#!/bin/bash
# xruns the dummy JACK server reports for the program and for jackd2's jack_metro, each alone on
# the server, in turns of equal length, so that both meet the same load over the same minutes.
#
#   tools/measure/jack-xruns.sh [work folder]     (build first: build/brevant)
#
# ROUNDS turns of TURN_SECONDS each (3 x 20) per client; BUSY busy processes (0) run throughout.
# The server's log names the client it waited for in each xrun; the host's steal time over each
# turn (from /proc/stat) is printed beside it, since a virtual CPU the host does not run cannot
# run the client woken on it either.
set -u
BREVANT_BUILD=${BREVANT_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-jackx-XXXXXX)}
mkdir -p "$WORK"
ROUNDS=${ROUNDS:-3}
TURN_SECONDS=${TURN_SECONDS:-20}
BUSY=${BUSY:-0}
export JACK_DEFAULT_SERVER=brevant20-xruns-$$

JACKD_PID=
BUSY_PIDS=
cleanup() {
    # shellcheck disable=SC2086
    [ -n "$BUSY_PIDS" ] && kill $BUSY_PIDS 2>/dev/null
    stop_app
    # Asked to end, not killed, so that the machine's JACK registry stays clean.
    [ -n "$JACKD_PID" ] && kill -TERM "$JACKD_PID" 2>/dev/null && wait "$JACKD_PID" 2>/dev/null
    stop_desk
}
trap cleanup EXIT

start_desk || exit 1
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$WORK/jackd.log" 2>&1 &
JACKD_PID=$!
for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq "$BUSY"); do yes >/dev/null & BUSY_PIDS="$BUSY_PIDS $!"; done

server_xruns() { grep -c "client = $1 was not finished" "$WORK/jackd.log"; }
steal_ticks() { awk '$1 == "cpu" { print $9 }' /proc/stat; }

# Runs "$@" for one turn and prints the xruns the server blamed on client $1 meanwhile.
turn() {
    local client=$1 x0 s0
    x0=$(server_xruns "$client")
    s0=$(steal_ticks)
    sleep "$TURN_SECONDS"
    echo "$(($(server_xruns "$client") - x0)) $(($(steal_ticks) - s0))"
}

metro_turn() {
    jack_metro -b 120 -n metro >/dev/null 2>&1 &
    local pid=$!
    sleep 1
    jack_connect metro:120_bpm system:playback_1
    turn metro
    kill "$pid"
    wait "$pid" 2>/dev/null
}

brevant_turn() {
    make_app_dir "$(settings_with 0.4 4 true)"
    env -i PATH=/usr/bin:/bin HOME="$APP_DIR" XDG_CONFIG_HOME="$APP_DIR/config" \
        DISPLAY="$DISPLAY" SDL_VIDEODRIVER=x11 BREVANT_AUDIO=jack \
        JACK_DEFAULT_SERVER="$JACK_DEFAULT_SERVER" \
        "$APP_DIR/$APP_EXE" >"$APP_DIR/output.log" 2>&1 &
    APP_PID=$!
    wait_main >/dev/null || return 1
    xdotool key space
    sleep 1
    turn brevant
    stop_app
    rm -rf "$APP_DIR"
}

echo "load before: $(uptime)"
echo "turns of $TURN_SECONDS s, $BUSY busy processes; per turn: xruns, host steal ticks"
total_metro=0
total_brevant=0
for round in $(seq "$ROUNDS"); do
    read -r m ms < <(metro_turn)
    read -r b bs < <(brevant_turn)
    echo "round $round: jack_metro $m (steal $ms), brevant $b (steal $bs); $(uptime | sed 's/.*load/load/')"
    total_metro=$((total_metro + m))
    total_brevant=$((total_brevant + b))
done
seconds=$((ROUNDS * TURN_SECONDS))
echo "xruns in $seconds s each: jack_metro $total_metro, brevant $total_brevant"
