#!/bin/bash
# Brevant in a Link session, measured: a peer of our own at 100 BPM that moves to 133.5 while
# Brevant plays through a sound server with four busy processes (how many intervals are exact,
# the nudges, and how far the clicks stray from the exact grid); two Brevants in one session,
# one on each side of the server's output (how far apart their clicks are); and LinkHut, a peer
# nobody here wrote, joining through a dummy JACK server.
#
#   tools/measure/link.sh [work folder]     (build first: build/brevant and build/tools/linkpeer)
#
# RUN_SECONDS sets each run (120); SECTIONS picks the parts ("one two hut heard"). The heard
# part sets each onset, stamped on the session's host clock, against the session's beat time. Everything with Link on runs inside a private network
# namespace that this script makes and removes (root is needed, as for `ip netns`).
set -u
BREVANT_BUILD=${BREVANT_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build}
. "$(dirname "$0")/common.sh"
WORK=${1:-$(mktemp -d /tmp/brevant-link21-XXXXXX)}
mkdir -p "$WORK"
RUN_SECONDS=${RUN_SECONDS:-120}
PEER_EXE=$BREVANT_BUILD/tools/linkpeer/linkpeer
NS=brevant21-measure-$$
JACK_NAME=brevant21-jack-$$
SERVER_PID= BUSY_PIDS= PEER_PID= APP2_PID= JACK_PID= HUT_PID= REC_PID=

make_namespace() {
    ip netns add "$NS" && ip -n "$NS" link set lo up && ip -n "$NS" link set lo multicast on &&
        ip -n "$NS" route add 224.0.0.0/4 dev lo
}

# A server whose sink "out" is stereo; "left" and "right" put a client on one side of it.
start_server() {
    mkdir -p "$WORK/pa/run" "$WORK/pa/home"
    cat >"$WORK/pa/server.pa" <<PA
load-module module-native-protocol-unix socket=$WORK/pa/native auth-anonymous=1
load-module module-null-sink sink_name=out rate=44100 format=s16le channels=2
load-module module-remap-sink sink_name=left master=out channels=1 master_channel_map=front-left channel_map=mono remix=no
load-module module-remap-sink sink_name=right master=out channels=1 master_channel_map=front-right channel_map=mono remix=no
set-default-sink out
PA
    HOME=$WORK/pa/home XDG_RUNTIME_DIR=$WORK/pa/run pulseaudio -n -F "$WORK/pa/server.pa" \
        --daemonize=no --exit-idle-time=-1 --resample-method=trivial --use-pid-file=no \
        --log-target=file:"$WORK/pa/server.log" >/dev/null 2>&1 &
    SERVER_PID=$!
    export PULSE_SERVER=unix:$WORK/pa/native
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "the sound server did not start" >&2
    return 1
}

start_peer() {
    rm -f "$WORK/peer.in"
    mkfifo "$WORK/peer.in"
    ip netns exec "$NS" "$PEER_EXE" "$1" <"$WORK/peer.in" >"$WORK/peer.out" 2>&1 &
    PEER_PID=$!
    exec 7>"$WORK/peer.in"
}
peer() { echo "$1" >&7; sleep 0.3; tail -n 1 "$WORK/peer.out"; }
stop_peer() { [ -n "$PEER_PID" ] && { echo quit >&7; exec 7>&-; wait "$PEER_PID" 2>/dev/null; }; PEER_PID=; }
# A peer at the given tempo: the one already running, or a new one.
ensure_peer() { if [ -n "$PEER_PID" ]; then peer "tempo $1" >/dev/null; else start_peer "$1"; fi; }

# The program inside the namespace on the server, on the given sink, with the given settings.
start_linked() {
    local dir=$1 sink=$2
    env -i PATH=/usr/bin:/bin HOME="$dir" XDG_CONFIG_HOME="$dir/config" DISPLAY="$DISPLAY" \
        SDL_VIDEODRIVER=x11 PULSE_SERVER="$PULSE_SERVER" PULSE_SINK="$sink" \
        ip netns exec "$NS" "$dir/$APP_EXE" >"$dir/output.log" 2>&1 &
}
linked_settings() {
    printf '<Orvelle Settings>\r\ntempo=%s\r\nvolume=0.5\r\nbeats=4\r\nsound=%s\r\nbeatNumbers=true\r\nfadingBeats=true\r\nanimateBeatChange=true\r\nbubbles=false\r\nwhite=true\r\nlink=true\r\n</Orvelle Settings>\r\n' "$1" "$2"
}
record() { parec --device=out.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=20 >"$1" & REC_PID=$!; }
stop_record() { [ -n "$REC_PID" ] && kill "$REC_PID" 2>/dev/null && wait "$REC_PID" 2>/dev/null; REC_PID=; }

cleanup() {
    stop_busy; stop_record; stop_peer; stop_app
    [ -n "$APP2_PID" ] && kill "$APP2_PID" 2>/dev/null
    [ -n "$HUT_PID" ] && kill "$HUT_PID" 2>/dev/null
    [ -n "$JACK_PID" ] && kill "$JACK_PID" 2>/dev/null
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null
    ip netns delete "$NS" 2>/dev/null
    # The X server is a child too: it goes before the wait for the rest.
    stop_desk
    wait 2>/dev/null
}

# Onsets of one channel (0 left, 1 right) of a recording: a sample of 32 or more after 600 quiet.
onsets() {
    python3 - "$1" "$2" <<'PY'
import sys, array
data = array.array('h', open(sys.argv[1], 'rb').read())
ch = int(sys.argv[2]); quiet = 600
for i in range(ch, len(data), 2):
    if abs(data[i]) >= 32:
        if quiet >= 600: print((i - ch) // 2 - 1)
        quiet = 0
    else:
        quiet += 1
PY
}

# Statistics of onsets against a beat of $2 samples: intervals, exact ones, worst interval error
# and the furthest from the grid of the first onset (in ms). A sound server's sample clock may run
# apart from the host clock that the session keeps (a null sink's by tens of parts per million),
# and Brevant then plays the session's beat in the server's samples: so the same is also given
# against the mean interval, with the furthest any onset lies from a straight line through them.
grid() {
    python3 - "$1" "$2" <<'PY'
import sys
t = [int(x) for x in open(sys.argv[1])]; beat = float(sys.argv[2])
if len(t) < 3: print("no clicks"); sys.exit()
gaps = [b - a for a, b in zip(t, t[1:])]
exact = sum(abs(g - beat) <= 1 for g in gaps)
worst = max(abs(g - beat) for g in gaps) / 44.1
far = max(abs((x - t[0]) - round((x - t[0]) / beat) * beat) for x in t) / 44.1
print(f"{len(gaps)} intervals, {exact} exact to a sample, worst interval {worst:.2f} ms off, furthest {far:.2f} ms off the grid")
mean = (t[-1] - t[0]) / len(gaps)
near = sum(abs(g - mean) <= 1 for g in gaps)
xs = range(len(t)); mx = sum(xs) / len(t); my = sum(t) / len(t)
slope = sum((x - mx) * (y - my) for x, y in zip(xs, t)) / sum((x - mx) ** 2 for x in xs)
line = max(abs(y - (my + slope * (x - mx))) for x, y in zip(xs, t))
print(f"    in the server's clock ({(mean / beat - 1) * 1e6:+.1f} ppm): {near} of {len(gaps)} within a sample "
      f"of the mean interval {mean:.3f}, furthest {line:.2f} samples from a straight line")
PY
}

# Heard time against the session: earclock stamps each recorded onset on the raw monotonic clock
# (the session's host clock) at the moment the server output it, as the dial-to-ear figure does;
# our peer gives the host times of two far-apart beats, and each onset is set against the
# nearest beat time of that line.
heard() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
t0 = float(sys.argv[2]) / 1e6; t1 = float(sys.argv[3]) / 1e6  # beats 0 and 100000
beat = (t1 - t0) / 100000
d = []
for line in open(sys.argv[1]):
    at = float(line.split()[0])
    k = round((at - t0) / beat)
    d.append((at - (t0 + k * beat)) * 1000)
if not d: print("no clicks"); sys.exit()
mean = sum(d) / len(d); mabs = sum(abs(x) for x in d) / len(d)
print(f"{len(d)} clicks; heard minus session beat: mean {mean:.2f} ms, mean size {mabs:.2f} ms, "
      f"least {min(d):.2f}, most {max(d):.2f} ms")
rows = [line.split() for line in open(sys.argv[1])]
if len(rows) > 1 and len(rows[0]) > 2:
    rate = (int(rows[-1][2]) - int(rows[0][2])) / (float(rows[-1][0]) - float(rows[0][0]))
    print(f"    the server's clock: {rate:.2f} samples a second of the host clock "
          f"({(rate / 44100 - 1) * 1e6:+.1f} ppm)")
PY
}

SECTIONS=${SECTIONS:-one two hut heard}
trap cleanup EXIT
make_namespace || { echo "cannot make a network namespace" >&2; exit 1; }
start_desk || exit 1
start_server || exit 1
echo "load before: $(uptime)"

if [[ " $SECTIONS " == *" one "* ]]; then
echo "== one Brevant following a peer, four busy processes, ${RUN_SECONDS} s at each tempo"
make_app_dir "$(linked_settings 0.3 0)"
start_linked "$APP_DIR" out
APP_PID=$!
start_peer 100
wait_main || exit 1
sleep 2
record "$WORK/one.raw"
focus_main; xdotool key space
start_busy
sleep "$RUN_SECONDS"
peer "tempo 133.5" >/dev/null
sleep "$RUN_SECONDS"
stop_busy
stop_record
echo "load after: $(uptime)"
onsets "$WORK/one.raw" 0 >"$WORK/one.txt"
python3 - "$WORK/one.txt" <<'PY' >"$WORK/slow.txt"
import sys
t = [int(x) for x in open(sys.argv[1])]
for a, b in zip(t, t[1:]):
    if b - a < 23000: break
    print(a)
PY
awk 'NR==FNR{n=NR; next} FNR>n+1' "$WORK/slow.txt" "$WORK/one.txt" >"$WORK/fast.txt"
echo "at 100 BPM:   $(grid "$WORK/slow.txt" 26460)"
echo "at 133.5 BPM: $(grid "$WORK/fast.txt" 19820.2247)"
grep -E "ran dry|raised" "$APP_DIR/output.log" | tail -2
stop_app
sleep 1
fi

if [[ " $SECTIONS " == *" two "* ]]; then
echo "== two Brevants in one session, left and right, four busy processes, ${RUN_SECONDS} s"
ensure_peer 100
make_app_dir "$(linked_settings 0.3 0)"
start_linked "$APP_DIR" left
APP_PID=$!
first=$APP_DIR
make_app_dir "$(linked_settings 0.3 1)"
start_linked "$APP_DIR" right
APP2_PID=$!
sleep 4
peer "start" >/dev/null
start_busy
record "$WORK/two.raw"
sleep "$RUN_SECONDS"
stop_record
stop_busy
onsets "$WORK/two.raw" 0 >"$WORK/left.txt"
onsets "$WORK/two.raw" 1 >"$WORK/right.txt"
python3 - "$WORK/left.txt" "$WORK/right.txt" <<'PY'
import sys
l = [int(x) for x in open(sys.argv[1])]; r = [int(x) for x in open(sys.argv[2])]
d = [min(abs(a - b) for b in r) / 44.1 for a in l] if r else []
if d: print(f"{len(l)} and {len(r)} clicks; apart by {sum(d)/len(d):.3f} ms on average, {max(d):.3f} ms at most")
PY
peer "stop" >/dev/null
stop_app
kill "$APP2_PID" 2>/dev/null; wait "$APP2_PID" 2>/dev/null; APP2_PID=
fi

if [[ " $SECTIONS " == *" heard "* ]]; then
echo "== heard time against the session, four busy processes, ${RUN_SECONDS} s"
g++ -O2 -std=c++20 -o "$WORK/earclock" "$BREVANT_ROOT/tools/measure/earclock.cpp" -lX11 \
    -lpulse-simple -lpulse -lpthread || exit 1
make_app_dir "$(linked_settings 0.3 0)"
start_linked "$APP_DIR" out
APP_PID=$!
ensure_peer 100
wait_main || exit 1
sleep 2
peer "start" >/dev/null
start_busy
sleep 3
EARCLOCK_RAW=1 "$WORK/earclock" "$RUN_SECONDS" out.monitor "$WORK" >/dev/null 2>&1
stop_busy
b0=$(peer "timeat 0 4" | awk '{print $2}')
b1=$(peer "timeat 100000 4" | awk '{print $2}')
echo "$(heard "$WORK/onsets.txt" "$b0" "$b1")"
grep -E "ran dry|raised" "$APP_DIR/output.log" | tail -2
peer "stop" >/dev/null
stop_app
fi

if [[ " $SECTIONS " == *" hut "* ]]; then
ensure_peer 100

echo "== LinkHut joins through a dummy JACK server"
ip netns exec "$NS" jackd -n "$JACK_NAME" -d dummy -r 44100 >"$WORK/jack.log" 2>&1 &
JACK_PID=$!
sleep 2
rm -f "$WORK/hut.in"
mkfifo "$WORK/hut.in"
JACK_DEFAULT_SERVER=$JACK_NAME ip netns exec "$NS" LinkHut <"$WORK/hut.in" >"$WORK/linkhut.log" 2>&1 &
HUT_PID=$!
exec 8>"$WORK/hut.in"
# LinkHut starts with Link off; its "a" key turns it on.
printf a >&8
sleep 3
echo "our peer sees: $(peer show)"
make_app_dir "$(linked_settings 0.4 0)"
start_linked "$APP_DIR" out
APP_PID=$!
sleep 5
echo "with Brevant, our peer sees: $(peer show)"
# LinkHut's "e" raises the session's tempo by one; Brevant follows and plays it.
printf e >&8
sleep 2
record "$WORK/hut.raw"
focus_main 2>/dev/null; wait_main >/dev/null 2>&1; focus_main; xdotool key space
sleep 6
stop_record
echo "LinkHut's last status line: $(tr '\r' '\n' <"$WORK/linkhut.log" | grep -a "^yes" | tail -n 1)"
onsets "$WORK/hut.raw" 0 >"$WORK/hut.txt"
echo "Brevant at LinkHut's tempo: $(grid "$WORK/hut.txt" "$(peer show | awk '{print 2646000 / $4}')")"
exec 8>&-
fi
