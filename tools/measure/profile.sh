#!/bin/bash
# Where the program's CPU goes in one state: CPU and context switches per thread of the program
# and of its sound server, the X server's CPU, the main thread's system calls, and (with perf)
# the share of the main thread's samples under each part of a loop pass.
#
#   tools/measure/profile.sh [work folder]        (build first: build/brevant)
#
# STATE is "playing" (default settings, playing) or "bubbles" (stopped, bubbles on);
# MEASURE_SECONDS (30) the length of each measurement. PERF=0 leaves perf out; SYSCALLS=0 leaves
# strace out. Each of them is a measurement of its own after the plain one, since both slow the
# program down while they watch it. The sound server is a PulseAudio of its own and the X server
# an Xvfb of its own, as in peercost.sh; BREVANT_LATENCY_MS is passed on.
set -u
BREVANT_BUILD=${BREVANT_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-profile-XXXXXX)}
mkdir -p "$WORK"
SECONDS_EACH=${MEASURE_SECONDS:-30}
STATE=${STATE:-playing}
TICKS=$(getconf CLK_TCK)

# "tid name ticks switches" for each thread of a process.
thread_figures() {
    local task
    for task in /proc/"$1"/task/*; do
        printf '%s %s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")" \
            "$(awk '{ print $14 + $15 }' "$task/stat")" \
            "$(awk '/ctxt_switches/ { s += $2 } END { print s }' "$task/status")"
    done 2>/dev/null
}

# Per thread between two snapshots: CPU in percent of one core and switches per second.
thread_rates() {
    awk -v s="$SECONDS_EACH" -v t="$TICKS" 'NR == FNR { c[$1] = $3; w[$1] = $4; next }
         ($1 in c) { printf "  %-14s %5.2f %% %6.0f switches/s\n", $2, 100 * ($3 - c[$1]) / t / s, ($4 - w[$1]) / s
                     cpu += $3 - c[$1] }
         END { printf "  %-14s %5.2f %%\n", "all", 100 * cpu / t / s }' "$1" "$2"
}

settings=$(settings_with 0.4 4 true)
[ "$STATE" = bubbles ] && settings=${settings/bubbles=false/bubbles=true}
start_desk || exit 1
unset PULSE_SERVER
start_server || exit 1
trap 'stop_app; stop_server; stop_desk' EXIT
make_app_dir "$settings"
start_app_on_server
wait_main || exit 1
sleep 2
[ "$STATE" = playing ] && xdotool key space
sleep 3
echo "state: $STATE; load before: $(uptime)"
thread_figures "$APP_PID" >"$WORK/p0"
thread_figures "$SERVER_PID" >"$WORK/s0"
x0=$(cpu_ticks "$XVFB_PID")
sleep "$SECONDS_EACH"
thread_figures "$APP_PID" >"$WORK/p1"
thread_figures "$SERVER_PID" >"$WORK/s1"
x1=$(cpu_ticks "$XVFB_PID")
echo "program:"
thread_rates "$WORK/p0" "$WORK/p1"
echo "sound server:"
thread_rates "$WORK/s0" "$WORK/s1"
awk -v d=$((x1 - x0)) -v t="$TICKS" -v s="$SECONDS_EACH" 'BEGIN { printf "X server: %.2f %%\n", 100 * d / t / s }'

if [ "${SYSCALLS:-1}" = 1 ] && command -v strace >/dev/null; then
    timeout "$SECONDS_EACH" strace -c -p "$APP_PID" -o "$WORK/syscalls.txt" 2>/dev/null
    echo "main thread's system calls per second:"
    awk -v s="$SECONDS_EACH" '$1 ~ /^[0-9.]+$/ && $NF != "total" { printf "  %-12s %7.0f\n", $NF, $4 / s }' \
        "$WORK/syscalls.txt"
fi

# The main thread's samples by the part of a pass they fall under (the outermost of these
# functions on the stack names the part); the sound thread's share beside them.
if [ "${PERF:-1}" = 1 ] && command -v perf >/dev/null; then
    perf record -F 1000 --call-graph dwarf,16384 -o "$WORK/perf.data" -p "$APP_PID" \
        -- sleep "$SECONDS_EACH" >/dev/null 2>&1
    perf script -i "$WORK/perf.data" 2>/dev/null | awk '
        function part() {
            if (f["present"]) return "presenting to the X server (FormCanvas::present)"
            if (f["paint"]) return "composing the dial (BeatDial::paint)"
            if (f["tick"]) return "the engine tick (Metronome::tick)"
            if (f["show"]) return "comparing and copying the dial (BeatDial::show)"
            if (f["runPaints"]) return "window paints (Application::runPaints)"
            return "waiting for and reading events, timers (SDL, Xlib, kernel)"
        }
        /^[^ \t]/ { thread = $1; split("", f); next }
        /^$/ { if (thread != "") { n[thread]++; if (thread != "brevant-sound") parts[part()]++ }
               thread = ""; next }
        { if ($2 ~ /^platform::FormCanvas::present/) f["present"] = 1
          if ($2 ~ /^BeatDial::paint\+/) f["paint"] = 1
          if ($2 ~ /^Metronome::tick\+/) f["tick"] = 1
          if ($2 ~ /^BeatDial::show\+/) f["show"] = 1
          if ($2 ~ /^platform::Application::runPaints/) f["runPaints"] = 1 }
        END { for (t in n) total += n[t]
              for (t in n) printf "samples of %s: %d (%.0f %%)\n", t, n[t], 100 * n[t] / total
              for (p in parts) printf "  %5.1f %% of the main thread: %s\n", 100 * parts[p] / (total - n["brevant-sound"]), p }'
fi
grep -E 'sound through|ran dry|raised' "$APP_DIR/output.log" | sed 's/^brevant: /log: /'
rm -rf "$APP_DIR"
echo "load after: $(uptime)"
