#!/bin/bash
# Soak run: the program under Xvfb for a given number of minutes, random keys every 100 to 500 ms
# (+, -, digits, SPACE, ENTER; never ESC), its resident memory logged every 30 s, and at the end
# every interval between recorded clicks checked against the beat range (no gap, no doubled
# click) and a clean exit by ESC.
#
#   tools/measure/soak.sh [minutes=10] [work folder]
set -u
. "$(dirname "$0")/common.sh"
MINUTES=${1:-10}
WORK=${2:-$(mktemp -d /tmp/bvm-soak-XXXXXX)}
mkdir -p "$WORK"
g++ -O2 -std=c++20 -o "$WORK/clicks" "$BREVANT_ROOT/tools/measure/clicks.cpp" || exit 1
start_desk || exit 1
trap 'stop_app; stop_desk' EXIT
make_app_dir
start_app
wait_main || exit 1

# The sound file's length in frames: where the program's output stands at this moment. Key
# presses are placed on the sound's own clock by it, so the disk driver's pacing does not matter.
frames_now() { echo $(( $(stat -c %s "$APP_DIR/audio.raw" 2>/dev/null || echo 0) / 4 )); }

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

KEYS=$WORK/keys.log
MEM=$WORK/memory.log
: >"$KEYS"
: >"$MEM"
press() {
    echo "$(now_ms) $(frames_now) $1" >>"$KEYS"
    xdotool key "$1"
}

pick_key() {
    local r=$((RANDOM % 100))
    if [ $r -lt 30 ]; then echo plus
    elif [ $r -lt 60 ]; then echo minus
    elif [ $r -lt 80 ]; then echo $((RANDOM % 10))
    elif [ $r -lt 96 ]; then echo Return
    else echo space
    fi
}

press space
start=$(now_ms)
end=$((start + $(awk -v m="$MINUTES" "BEGIN { print int(m * 60000) }")))
next_mem=$start
presses=0
while [ "$(now_ms)" -lt $end ]; do
    if ! kill -0 "$APP_PID" 2>/dev/null; then
        echo "the program died after $(( ($(now_ms) - start) / 1000 )) s" >&2
        break
    fi
    if [ "$(now_ms)" -ge $next_mem ]; then
        echo "$(( ($(now_ms) - start) / 1000 )) $(status_kb "$APP_PID" VmRSS) $(status_kb "$APP_PID" VmHWM)" >>"$MEM"
        next_mem=$((next_mem + 30000))
        focus_main
    fi
    press "$(pick_key)"
    presses=$((presses + 1))
    sleep "0.$(printf '%03d' $((100 + RANDOM % 401)))"
done
elapsed=$(( ($(now_ms) - start) / 1000 ))
alive=no
kill -0 "$APP_PID" 2>/dev/null && alive=yes
hwm=$(status_kb "$APP_PID" VmHWM)
focus_main
xdotool key Escape
status=timeout
for _ in $(seq 200); do
    if ! kill -0 "$APP_PID" 2>/dev/null; then wait "$APP_PID"; status=$?; break; fi
    sleep 0.05
done
APP_PID=

"$WORK/clicks" "$APP_DIR/audio.raw" >"$WORK/clicks.txt"
echo "ran ${elapsed} s, $presses key presses, alive at the end: $alive, exit status on ESC: $status"
echo "memory (s VmRSS VmHWM kB):"
cat "$MEM"
echo "peak resident at the end: $hwm kB"
# An interval with a SPACE inside it spans a stop and is left out; every other one must lie
# between the 240 BPM beat (11025 frames) and the 40 BPM beat (66150 frames).
awk -v keys="$KEYS" '
    BEGIN { n = 0; while ((getline line < keys) > 0) { split(line, f, " "); if (f[3] == "space") sp[n++] = f[2] } }
    /^#/ { next }
    { if (have) {
          gap = $1 - prev; spans = 0
          for (i = 0; i < n; ++i) if (sp[i] >= prev - 8192 && sp[i] <= $1) { spans = 1; break }
          if (spans) skipped++
          else {
              checked++
              if (gap < lo || lo == 0) lo = gap
              if (gap > hi) hi = gap
              if (gap < 11024 || gap > 66151) { bad++; if (bad <= 10) print "  bad interval " gap " at frame " $1 }
          }
      }
      prev = $1; have = 1; clicks++ }
    END { printf "clicks %d, intervals checked %d (shortest %d, longest %d), spanning a stop %d, out of range %d\n", clicks, checked, lo, hi, skipped, bad + 0 }
' "$WORK/clicks.txt"
echo "work folder: $WORK (program folder $APP_DIR)"
