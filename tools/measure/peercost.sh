#!/bin/bash
# What the program costs beside a peer, in one run on one sound server: CPU of the program, of
# its sound server and of the X server, context switches per second of each of the program's
# threads (and the server's), the delay from Play to the first click heard, and from a key press
# to the window's reaction; then the same for gtick (Debian's) on the same server.
#
#   tools/measure/peercost.sh [work folder]        (build first: build/brevant)
#
# The sound server is a PulseAudio of its own (user mode, its own runtime folder and socket, a
# 44100 Hz null sink, module-suspend-on-idle), the X server an Xvfb of its own. Each state is
# measured for MEASURE_SECONDS (20) after it has settled. LATENCIES (default "40 80") are the server
# device's target latencies (BREVANT_LATENCY_MS) whose playing costs are measured side by side.
# Other processes share the machine: the load is printed before and after, and ratios between
# the two programs of one run are worth more than the absolute figures.
#
# Play to first click: the press is sent through XTEST and stamped on the wall clock; earclock
# (beside this script) stamps each click onset on the sound server's monitor, less what the
# server still held of it. Key to reaction: keyreact presses + and - and reads the dial's tempo
# number back from the X server until it changed (the program stopped, sleeping).
set -u
BREVANT_BUILD=${BREVANT_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-peers-XXXXXX)}
mkdir -p "$WORK"
SECONDS_EACH=${MEASURE_SECONDS:-20}
LATENCIES=${LATENCIES:-40 80}
TICKS=$(getconf CLK_TCK)
HERE=$BREVANT_ROOT/tools/measure
g++ -O2 -std=c++20 -o "$WORK/earclock" "$HERE/earclock.cpp" -lX11 -lpulse-simple -lpulse \
    -pthread || exit 1
g++ -O2 -std=c++20 -o "$WORK/keyreact" "$HERE/keyreact.cpp" -lX11 -l:libXtst.so.6 || exit 1

PEER_PID=
stop_peer() {
    [ -n "$PEER_PID" ] && kill "$PEER_PID" 2>/dev/null && wait "$PEER_PID" 2>/dev/null
    PEER_PID=
}

# "tid name switches" for each thread of a process (voluntary and involuntary together).
thread_switches() {
    local task
    for task in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")" \
            "$(awk '/ctxt_switches/ { s += $2 } END { print s }' "$task/status")"
    done 2>/dev/null
}

# Switches per second of each thread between two snapshots: "name rate, name rate, ...".
switch_rates() {
    awk -v s="$3" 'NR == FNR { c[$1] = $3; next }
         ($1 in c) { r = ($3 - c[$1]) / s; total += r; list = list sprintf("%s%s %.0f", sep, $2, r); sep = ", " }
         END { printf "%.0f (%s)", total, list }' "$1" "$2"
}

# One row of the table: the state, then CPU of program, server and X server in percent of one
# core, then the program's and the server's switches per second (total, and per thread).
measure() {
    local label=$1 pid=$2 a0 b0 x0 a1 b1 x1
    thread_switches "$pid" >"$WORK/p0"
    thread_switches "$SERVER_PID" >"$WORK/s0"
    a0=$(cpu_ticks "$pid"); b0=$(cpu_ticks "$SERVER_PID"); x0=$(cpu_ticks "$XVFB_PID")
    sleep "$SECONDS_EACH"
    a1=$(cpu_ticks "$pid"); b1=$(cpu_ticks "$SERVER_PID"); x1=$(cpu_ticks "$XVFB_PID")
    thread_switches "$pid" >"$WORK/p1"
    thread_switches "$SERVER_PID" >"$WORK/s1"
    printf '| %s | %s | %s | %s | %s | %s |\n' "$label" \
        "$(awk -v d=$((a1 - a0)) -v t="$TICKS" -v s="$SECONDS_EACH" 'BEGIN { printf "%.2f %%", 100 * d / t / s }')" \
        "$(awk -v d=$((b1 - b0)) -v t="$TICKS" -v s="$SECONDS_EACH" 'BEGIN { printf "%.2f %%", 100 * d / t / s }')" \
        "$(awk -v d=$((x1 - x0)) -v t="$TICKS" -v s="$SECONDS_EACH" 'BEGIN { printf "%.2f %%", 100 * d / t / s }')" \
        "$(switch_rates "$WORK/p0" "$WORK/p1" "$SECONDS_EACH")" \
        "$(switch_rates "$WORK/s0" "$WORK/s1" "$SECONDS_EACH")"
}

# Presses `key` (to start) and again (to stop) `times` times on window $1 while earclock records;
# prints each delay from a start press to the first click heard after it, in ms.
play_to_click() {
    local window=$1 key=$2 times=$3 stop_key=${4:-$2}
    "$WORK/earclock" $((times * 3 + 3)) out.monitor "$WORK" &
    local recorder=$!
    sleep 1.5
    : >"$WORK/starts.txt"
    for _ in $(seq "$times"); do
        "$WORK/keyreact" "$window" 0 0 0 0 1 "$key" >>"$WORK/starts.txt"
        sleep 1.3
        "$WORK/keyreact" "$window" 0 0 0 0 1 "$stop_key" >/dev/null
        sleep 1.5
    done
    wait $recorder
    awk 'NR == FNR { on[++n] = $1; next }
         { for (i = 1; i <= n; i++) if (on[i] > $1) { printf "%.1f\n", (on[i] - $1) * 1000; break } }' \
        "$WORK/onsets.txt" "$WORK/starts.txt"
}

summary() { sort -g | awk '{ v[NR] = $1 } END { if (NR) printf "median %s, largest %s (n=%d)", v[int((NR + 1) / 2)], v[NR], NR; else printf "none" }'; }

settings_bubbles() {
    printf '<Orvelle Settings>\r\ntempo=0.4\r\nvolume=0.5\r\nbeats=4\r\nsound=0\r\nbeatNumbers=true\r\nfadingBeats=true\r\nanimateBeatChange=true\r\nbubbles=%s\r\nwhite=true\r\n</Orvelle Settings>\r\n' "$1"
}

start_brevant() {
    make_app_dir "$(settings_bubbles "$1")"
    BREVANT_LATENCY_MS=${2:-} start_app_on_server
    wait_main || return 1
    sleep 3
}

finish_brevant() {
    stop_app
    grep -E 'sound through|underruns|ran dry' "$APP_DIR/output.log" | sed 's/^brevant: /  log: /'
    rm -rf "$APP_DIR"
}

brevant_rows() {
    local latency
    start_brevant false || return 1
    measure "Brevant stopped, nothing moving" "$APP_PID"
    echo "key to window reaction, stopped (ms): $("$WORK/keyreact" "$WIN_ID" 84 83 60 35 20 plus minus | summary)"
    finish_brevant
    for latency in $LATENCIES; do
        start_brevant false "$latency" || return 1
        echo "Play to first click heard, target latency $latency ms (ms): $(play_to_click "$WIN_ID" space 6 | summary)"
        focus_main
        xdotool key space
        sleep 3
        measure "Brevant playing, defaults, latency $latency ms" "$APP_PID"
        echo "key to window reaction, playing (ms): $("$WORK/keyreact" "$WIN_ID" 84 83 60 35 10 plus minus | summary)"
        finish_brevant
    done
    start_brevant true || return 1
    measure "Brevant stopped, bubbles on" "$APP_PID"
    xdotool key space
    sleep 3
    measure "Brevant playing, bubbles on" "$APP_PID"
    finish_brevant
}

# gtick at 120 BPM, 4/4, its own settings folder; Ctrl+S starts and stops it.
gtick_rows() {
    local home=$WORK/gtick window
    mkdir -p "$home"
    env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" PULSE_SERVER="$PULSE_SERVER" \
        gtick >"$WORK/gtick.log" 2>&1 &
    PEER_PID=$!
    window=$(xdotool search --sync --onlyvisible --pid "$PEER_PID" 2>/dev/null | head -1)
    [ -n "$window" ] || { echo "gtick showed no window" >&2; stop_peer; return 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null
    sleep 3
    measure "gtick stopped" "$PEER_PID"
    echo "gtick Play to first click heard (ms): $(play_to_click "$window" ctrl+s 6 | summary)"
    xdotool windowfocus --sync "$window" 2>/dev/null
    "$WORK/keyreact" "$window" 0 0 0 0 1 ctrl+s >/dev/null
    sleep 3
    echo "gtick stream: $(pactl list sink-inputs | grep -E 'Corked|Buffer Latency|Sink Latency' | xargs)"
    measure "gtick playing" "$PEER_PID"
    stop_peer
}

start_desk || exit 1
# Always a server of its own: both programs must play on the same, measured one.
unset PULSE_SERVER
start_server || exit 1
trap 'stop_peer; stop_app; stop_server; stop_desk' EXIT
echo "load before: $(uptime)"
echo "| state | program CPU | server CPU | X server CPU | program switches/s (per thread) | server switches/s (per thread) |"
echo "|---|---|---|---|---|---|"
brevant_rows
gtick_rows
echo "load after: $(uptime)"
