#!/bin/bash
# The program's figures under Xvfb: start-up to the splash's first paint, CPU use running and
# stopped, peak resident memory, and the delay from a tempo key to the first click it moves.
#
#   tools/measure/figures.sh [work folder]      (build first: build-figures/brevant)
set -u
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-figures-XXXXXX)}
mkdir -p "$WORK"
g++ -O2 -std=c++20 -o "$WORK/clicks" "$BREVANT_ROOT/tools/measure/clicks.cpp" || exit 1
g++ -O2 -std=c++20 -o "$WORK/splashtime" "$BREVANT_ROOT/tools/measure/splashtime.cpp" -lX11 || exit 1
start_desk || exit 1
trap 'stop_app; stop_desk' EXIT
TICKS=$(getconf CLK_TCK)
echo "load before: $(uptime)"

frames_now() { echo $(( $(stat -c %s "$APP_DIR/audio.raw" 2>/dev/null || echo 0) / 4 )); }

# Median and largest of the numbers on standard input.
median_max() { sort -g | awk '{ v[NR] = $1 } END { printf "median %s largest %s (n=%d)\n", v[int((NR + 1) / 2)], v[NR], NR }'; }

splash_figures() {
    : >"$WORK/splash.txt"
    for _ in $(seq "${SPLASH_RUNS:-10}"); do
        make_app_dir
        env -i PATH=/usr/bin:/bin HOME="$APP_DIR" XDG_CONFIG_HOME="$APP_DIR/config" DISPLAY="$DISPLAY" \
            SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$APP_DIR/audio.raw" \
            "$WORK/splashtime" "$APP_DIR/$APP_EXE" >>"$WORK/splash.txt" 2>/dev/null
        rm -rf "$APP_DIR"
        sleep 0.5
    done
    echo "exec to splash mapped (ms):  $(awk '{print $2}' "$WORK/splash.txt" | median_max)"
    echo "exec to splash painted (ms): $(awk '{print $4}' "$WORK/splash.txt" | median_max)"
}

# "tid name ticks" for every thread of the program.
thread_ticks() {
    for task in /proc/"$APP_PID"/task/*; do
        echo "${task##*/} $(tr -d ' ' <"$task/comm") $(awk '{print $14 + $15}' "$task/stat")"
    done
}

# Percent of one core used over the given seconds, in all and by thread.
cpu_percent() {
    local before after
    thread_ticks >"$WORK/threads-before.txt"
    before=$(cpu_ticks "$APP_PID")
    sleep "$1"
    after=$(cpu_ticks "$APP_PID")
    thread_ticks >"$WORK/threads-after.txt"
    awk -v d=$((after - before)) -v t="$TICKS" -v s="$1" 'BEGIN { printf "%.2f %%", 100 * d / t / s }'
    awk -v t="$TICKS" -v s="$1" 'NR == FNR { b[$1] = $3; next }
        { printf "%s %s %.2f %%", (FNR == 1 ? " of one core; by thread:" : ","), $2, 100 * ($3 - b[$1]) / t / s }' \
        "$WORK/threads-before.txt" "$WORK/threads-after.txt"
}

cpu_figures() {
    make_app_dir
    start_app
    wait_main || return 1
    xdotool key space
    sleep 3
    echo "CPU, running, dial animating, 20 s: $(cpu_percent 20)"
    focus_main
    xdotool key space
    sleep 3
    echo "CPU, stopped, 20 s:                 $(cpu_percent 20)"
    echo "peak resident (VmHWM): $(status_kb "$APP_PID" VmHWM) kB, now (VmRSS) $(status_kb "$APP_PID" VmRSS) kB"
    stop_app
    rm -rf "$APP_DIR"
}

# One run at a starting tempo (fraction of 40..240 BPM): $2 presses of + or -, each after three
# to four beats, its moment taken from the sound file's length.
latency_run() {
    local fraction=$1 presses=$2 bpm beat_ms key
    bpm=$(awk -v f="$fraction" 'BEGIN { print 40 + 200 * f }')
    make_app_dir "$(settings_with "$fraction" 4 true)"
    start_app
    wait_main || return 1
    xdotool key space
    sleep 2
    : >"$WORK/presses-$bpm.txt"
    for _ in $(seq "$presses"); do
        beat_ms=$((60000 / bpm))
        sleep "$(awk -v b=$beat_ms -v r=$RANDOM 'BEGIN { printf "%.3f", b * (3 + r / 32768) / 1000 }')"
        key=plus
        [ $((RANDOM % 2)) = 0 ] && key=minus
        echo "$(frames_now) $key" >>"$WORK/presses-$bpm.txt"
        xdotool key $key
    done
    sleep "$(awk -v b=$beat_ms 'BEGIN { printf "%.3f", b * 4 / 1000 }')"
    stop_app
    "$WORK/clicks" "$APP_DIR/audio.raw" | grep -v '^#' | awk '{print $1}' >"$WORK/clicks-$bpm.txt"
    rm -rf "$APP_DIR"
    # For each press: the old beat is the interval before it; the first moved click is the first
    # one after the press whose interval from the one before is not the old beat.
    awk -v bpm="$bpm" 'NR == FNR { c[++n] = $1; next }
         { p[++m] = $1 }
         END {
             for (i = 1; i <= m; ++i) {
                 k = 1; while (k <= n && c[k] < p[i]) ++k
                 if (k < 3 || k > n) continue
                 old = c[k - 1] - c[k - 2]
                 limit = (i < m) ? p[i + 1] : c[n] + 1
                 for (j = k; j <= n && c[j] < limit; ++j) {
                     gap = c[j] - c[j - 1]
                     if (gap < old - 1 || gap > old + 1) { printf "%.1f %s\n", (c[j] - p[i]) / 44.1, bpm; break }
                 }
                 if (j > n || c[j] >= limit) printf "missing %s press %d\n", bpm, i > "/dev/stderr"
             }
         }' "$WORK/clicks-$bpm.txt" "$WORK/presses-$bpm.txt" >>"$WORK/latency.txt"
}

latency_figures() {
    : >"$WORK/latency.txt"
    latency_run 0.1 17     # 60 BPM
    latency_run 0.4 17     # 120 BPM
    latency_run 0.8 16     # 200 BPM
    for bpm in 60 120 200; do
        echo "tempo key to first moved click at $bpm BPM (ms): $(awk -v b=$bpm '$2 == b {print $1}' "$WORK/latency.txt" | median_max)"
    done
    echo "tempo key to first moved click, all (ms):   $(awk '{print $1}' "$WORK/latency.txt" | median_max)"
}

case "${ONLY:-all}" in
    splash) splash_figures ;;
    cpu) cpu_figures ;;
    latency) latency_figures ;;
    *) splash_figures; cpu_figures; latency_figures ;;
esac
echo "load after: $(uptime)"
