#!/bin/bash
# The program on a sound server, under Xvfb: the latency the server grants, CPU of the program and
# of the server playing and stopped, the dial-to-ear offset, tempo key to the first click at the
# new tempo, and underruns and wrong beat intervals in a long run with four busy processes.
#
#   tools/measure/soundserver.sh [work folder]     (build first: build/brevant)
#
# It starts a PulseAudio server of its own (user mode, its own runtime folder and socket, a
# 44100 Hz null sink, trivial resampling, and the idle suspension every desktop setup loads) unless PULSE_SERVER names one to use instead (for
# example a pipewire-pulse started by hand, with a null sink "out"; SOUND_SERVER_PID then names
# the process whose CPU is measured). SOAK_SECONDS sets the long run (600).
#
# Dial-to-ear: earclock (beside this script) records the null sink's monitor through libpulse and
# stamps each click onset with the wall clock, less what the server still held of it; at the same
# time it reads the four markers of the dial from the X server every 2 ms and stamps the moment
# each turns yellow. The offset of a beat is the moment its marker lit less the moment its click
# reached the output: positive when the eye sees it after the ear hears it.
set -u
BREVANT_BUILD=${BREVANT_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-sound-XXXXXX)}
mkdir -p "$WORK"
SOAK_SECONDS=${SOAK_SECONDS:-600}
TICKS=$(getconf CLK_TCK)
g++ -O2 -std=c++20 -o "$WORK/earclock" "$BREVANT_ROOT/tools/measure/earclock.cpp" -lX11 \
    -lpulse-simple -lpulse -pthread || exit 1

start_desk || exit 1
start_server || exit 1
trap 'stop_busy; stop_app; stop_server; stop_desk' EXIT
echo "load before: $(uptime)"
echo "server: $(pactl info | grep -E '^Server (Name|Version)' | cut -d: -f2 | xargs)"

# Percent of one core over $2 seconds for the program and the server, side by side.
cpu_pair() {
    local a0 b0 a1 b1
    a0=$(cpu_ticks "$APP_PID"); b0=$(cpu_ticks "${SERVER_PID:-self}")
    sleep "$1"
    a1=$(cpu_ticks "$APP_PID"); b1=$(cpu_ticks "${SERVER_PID:-self}")
    [ -z "$SERVER_PID" ] && b1=$b0
    awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) -v t="$TICKS" -v s="$1" \
        'BEGIN { printf "program %.2f %%, server %.2f %% of one core", 100 * a / t / s, 100 * b / t / s }'
}

median_max() { sort -g | awk '{ v[NR] = $1 } END { if (NR) printf "median %s largest %s (n=%d)\n", v[int((NR + 1) / 2)], v[NR], NR; else print "none" }'; }

# Beat intervals in frames from the onsets' recording, and how many are not the given beat.
wrong_intervals() {
    "$WORK/clicks" "$1" | grep -v '^#' | awk -v beat="$2" 'NR > 1 { d = $1 - p; n++; if (d != beat) { w++; printf "  wrong interval %d: %d\n", n, d > "/dev/stderr" } } { p = $1 } END { printf "%d of %d intervals wrong\n", w, n }'
}

g++ -O2 -std=c++20 -o "$WORK/clicks" "$BREVANT_ROOT/tools/measure/clicks.cpp" || exit 1

basic_figures() {
    make_app_dir "$(settings_with 0.4 4 true)"
    start_app_on_server
    wait_main || return 1
    sleep 1
    echo "granted: $(grep -m1 'sound through' "$APP_DIR/output.log" | sed 's/^brevant: //')"
    echo "CPU, stopped, 20 s: $(cpu_pair 20)"
    xdotool key space
    sleep 2
    echo "CPU, playing, 20 s: $(cpu_pair 20)"
    echo "stream while playing: $(pactl list sink-inputs | grep -E 'Buffer Latency|Sink Latency' | xargs)"
    # Dial-to-ear over 20 s: markers of four beats at their centres.
    local cx=$((WIN_X + 20 + 94)) cy=$((WIN_Y + 43 + 94))
    "$WORK/earclock" 20 out.monitor "$WORK" $cx $((cy - 70)) $((cx + 70)) $cy $cx $((cy + 70)) $((cx - 70)) $cy
    awk 'NR == FNR { on[++n] = $1; next }
         { best = 1e9; for (i = 1; i <= n; i++) { d = $1 - on[i]; if (d * d < best * best) best = d }
           if (best < 0.25 && best > -0.25) print best * 1000 }' "$WORK/onsets.txt" "$WORK/lit.txt" >"$WORK/offsets.txt"
    echo "dial-to-ear offset (ms, lit less heard): $(awk '{ s += $1; if (NR == 1 || $1 < lo) lo = $1; if (NR == 1 || $1 > hi) hi = $1 } END { if (NR) printf "mean %.1f, least %.1f, most %.1f (n=%d)", s / NR, lo, hi, NR; else print "none" }' "$WORK/offsets.txt")"
    focus_main
    xdotool key space
    sleep 1
    echo "stream while stopped: corked=$(pactl list sink-inputs | grep -m1 Corked | awk '{print $2}')"
    echo "CPU, stopped again, 20 s: $(cpu_pair 20)"
    stop_app
    grep -E 'underruns|ran dry' "$APP_DIR/output.log" | sed 's/^brevant: /log: /'
    rm -rf "$APP_DIR"
}

# Presses of + and - at random moments during play, each stamped on the wall clock; the first
# click after a press whose interval is not the old beat is the first at the new tempo.
tempo_run() {
    local fraction=$1 presses=$2 bpm key beat_ms
    bpm=$(awk -v f="$fraction" 'BEGIN { print 40 + 200 * f }')
    beat_ms=$((60000 / bpm))
    make_app_dir "$(settings_with "$fraction" 4 true)"
    start_app_on_server
    wait_main || return 1
    xdotool key space
    sleep 1
    local seconds
    seconds=$(awk -v p="$presses" -v b=$beat_ms 'BEGIN { printf "%d", p * b * 4.5 / 1000 + 6 }')
    "$WORK/earclock" "$seconds" out.monitor "$WORK" &
    local recorder=$!
    sleep 2
    : >"$WORK/presses.txt"
    for _ in $(seq "$presses"); do
        sleep "$(awk -v b=$beat_ms -v r=$RANDOM 'BEGIN { printf "%.3f", b * (3 + r / 32768) / 1000 }')"
        key=plus
        [ $((RANDOM % 2)) = 0 ] && key=minus
        date +%s.%N >>"$WORK/presses.txt"
        xdotool key $key
    done
    wait $recorder
    stop_app
    rm -rf "$APP_DIR"
    # Times from the wall clock, intervals from the recording's frames.
    awk -v bpm="$bpm" 'NR == FNR { c[++n] = $1; f[n] = $3; next }
         { p[++m] = $1 }
         END {
             for (i = 1; i <= m; ++i) {
                 k = 1; while (k <= n && c[k] < p[i]) ++k
                 if (k < 3 || k > n) continue
                 old = f[k - 1] - f[k - 2]
                 limit = (i < m) ? p[i + 1] : c[n] + 1
                 for (j = k; j <= n && c[j] < limit; ++j) {
                     gap = f[j] - f[j - 1]
                     if (gap < old - 1 || gap > old + 1) { printf "%.1f %s\n", (c[j] - p[i]) * 1000, bpm; break }
                 }
             }
         }' "$WORK/onsets.txt" "$WORK/presses.txt" >>"$WORK/tempo.txt"
}

tempo_figures() {
    : >"$WORK/tempo.txt"
    tempo_run 0.1 12    # 60 BPM
    tempo_run 0.4 16    # 120 BPM
    tempo_run 0.8 16    # 200 BPM
    for bpm in 60 120 200; do
        echo "tempo key to first click at the new tempo, $bpm BPM (ms): $(awk -v b=$bpm '$2 == b {print $1}' "$WORK/tempo.txt" | median_max)"
    done
    echo "tempo key to first click at the new tempo, all (ms): $(awk '{print $1}' "$WORK/tempo.txt" | median_max)"
}

soak_figures() {
    make_app_dir "$(settings_with 0.4 4 true)"
    start_app_on_server
    wait_main || return 1
    parec --device=out.monitor --format=s16le --rate=44100 --channels=2 --raw >"$WORK/soak.raw" &
    local recorder=$!
    sleep 1
    xdotool key space
    start_busy
    echo "soak: $SOAK_SECONDS s at 120 BPM with four busy processes; load during it:"
    sleep "$((SOAK_SECONDS / 2))"
    echo "  $(uptime)"
    sleep "$((SOAK_SECONDS - SOAK_SECONDS / 2))"
    stop_busy
    focus_main
    xdotool key space
    sleep 0.5
    kill $recorder
    stop_app
    echo "soak: $(wrong_intervals "$WORK/soak.raw" 22050 2>"$WORK/soak-wrong.txt")"
    head -5 "$WORK/soak-wrong.txt"
    grep -E 'underruns|ran dry' "$APP_DIR/output.log" | sed 's/^brevant: /log: /'
    rm -rf "$APP_DIR" "$WORK/soak.raw"
}

case "${ONLY:-all}" in
    basic) basic_figures ;;
    tempo) tempo_figures ;;
    soak) soak_figures ;;
    *) basic_figures; tempo_figures; soak_figures ;;
esac
echo "load after: $(uptime)"
