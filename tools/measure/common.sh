# Shared helpers of the measurement scripts: a private Xvfb, a throw-away copy of the program,
# window lookup and input. Sourced, not run.

BREVANT_ROOT=${BREVANT_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
BREVANT_BUILD=${BREVANT_BUILD:-$BREVANT_ROOT/build-figures}
SCREEN_W=1280
SCREEN_H=1024
MAIN_W=389
MAIN_H=305
SPLASH_W=540
SPLASH_H=270

XVFB_PID=
APP_PID=
APP_DIR=

# Starts Xvfb on a display number it picks itself (-displayfd: a number picked here could be
# taken by another server starting at the same moment) and exports DISPLAY.
start_desk() {
    local numberfile n=
    numberfile=$(mktemp /tmp/brevant-display-XXXXXX)
    Xvfb -displayfd 3 -screen 0 ${SCREEN_W}x${SCREEN_H}x24 -nolisten tcp -noreset \
        3>"$numberfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 600); do
        n=$(cat "$numberfile")
        [ -n "$n" ] && break
        sleep 0.05
    done
    rm -f "$numberfile"
    [ -n "$n" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$n
}

stop_desk() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

# Copies the program and its samples into a fresh temporary folder (it writes settings.cfg
# beside itself). An optional argument is the settings file's content.
# The copy is called "bvm" in a folder without the program's name, so that another session's
# clean-up of stray test programs by name does not end a long measurement.
APP_EXE=bvm
make_app_dir() {
    APP_DIR=$(mktemp -d /tmp/bvm-XXXXXX)
    cp "$BREVANT_BUILD/brevant" "$APP_DIR/$APP_EXE"
    cp "$BREVANT_ROOT"/data/*.wav "$APP_DIR/"
    [ -n "${1:-}" ] && printf '%b' "$1" > "$APP_DIR/settings.cfg"
    return 0
}

# Starts the program from APP_DIR with the disk audio driver recording into audio.raw. The
# arguments are more of its environment (NAME=value).
start_app() {
    env -i PATH=/usr/bin:/bin HOME="$APP_DIR" XDG_CONFIG_HOME="$APP_DIR/config" \
        DISPLAY="$DISPLAY" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk \
        SDL_DISKAUDIOFILE="$APP_DIR/audio.raw" "$@" "$APP_DIR/$APP_EXE" >"$APP_DIR/output.log" 2>&1 &
    APP_PID=$!
}

stop_app() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill -TERM "$APP_PID"
        wait "$APP_PID" 2>/dev/null
    fi
    APP_PID=
}

# The settings file with the given tempo fraction, beats and colour model.
settings_with() {
    printf '<Orvelle Settings>\r\ntempo=%s\r\nvolume=0.5\r\nbeats=%s\r\nsound=0\r\nbeatNumbers=true\r\nfadingBeats=true\r\nanimateBeatChange=true\r\nbubbles=false\r\nwhite=%s\r\n</Orvelle Settings>\r\n' "$1" "$2" "$3"
}

# Prints "id x y" of the first viewable top-level window of the given size.
find_window() {
    local line id geo
    while read -r line; do
        id=$(echo "$line" | grep -o '^0x[0-9a-f]*')
        geo=$(echo "$line" | grep -o "$1x$2+[-0-9]*+[-0-9]*")
        [ -z "$id" ] || [ -z "$geo" ] && continue
        xwininfo -id "$id" 2>/dev/null | grep -q IsViewable || continue
        geo=${geo#*+}
        echo "$id ${geo%+*} ${geo#*+}"
        return 0
    done < <(xwininfo -root -children 2>/dev/null | grep "$1x$2+")
    return 1
}

# Waits up to $3 seconds for a window of size $1 x $2; sets WIN_ID, WIN_X, WIN_Y.
wait_window() {
    local tries=$(( $3 * 20 )) found
    for _ in $(seq "$tries"); do
        if found=$(find_window "$1" "$2"); then
            read -r WIN_ID WIN_X WIN_Y <<<"$found"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Waits for the main window and gives it the keyboard focus.
wait_main() {
    wait_window $MAIN_W $MAIN_H 20 || { echo "no main window" >&2; return 1; }
    sleep 0.5
    focus_main
}

focus_main() {
    xdotool mousemove $((WIN_X + MAIN_W / 2)) $((WIN_Y + 10)) windowfocus --sync "$WIN_ID" 2>/dev/null
}

# A click at client point ($1, $2) of the main window.
click_main() {
    xdotool mousemove $((WIN_X + $1)) $((WIN_Y + $2)) click 1
}

# Screenshot of the whole screen cropped to $3 x $4 at ($1, $2), written to $5.
shot_crop() {
    import -window root -depth 8 -crop "$3x$4+$1+$2" +repage "$5"
}

# utime + stime of a process in clock ticks.
cpu_ticks() {
    awk '{print $14 + $15}' "/proc/$1/stat"
}

status_kb() {
    awk -v key="$2:" '$1 == key {print $2}' "/proc/$1/status"
}

# A PulseAudio server of the script's own under $WORK/pa (user mode, its own runtime folder and
# socket, a 44100 Hz null sink "out", trivial resampling, and the idle suspension every desktop
# setup loads); exports PULSE_SERVER. When PULSE_SERVER already names a server (for example a
# pipewire-pulse started by hand, with a null sink "out"), that one is used instead and
# SOUND_SERVER_PID names the process whose CPU is measured.
SERVER_PID=
OWN_SERVER=
start_server() {
    if [ -n "${PULSE_SERVER:-}" ]; then
        SERVER_PID=${SOUND_SERVER_PID:-}
        return 0
    fi
    mkdir -p "$WORK/pa/run" "$WORK/pa/home"
    cat >"$WORK/pa/server.pa" <<EOF
load-module module-native-protocol-unix socket=$WORK/pa/native auth-anonymous=1
load-module module-null-sink sink_name=out rate=44100 format=s16le channels=2
load-module module-suspend-on-idle
set-default-sink out
EOF
    HOME=$WORK/pa/home XDG_RUNTIME_DIR=$WORK/pa/run pulseaudio -n -F "$WORK/pa/server.pa" \
        --daemonize=no --exit-idle-time=-1 --resample-method=trivial --use-pid-file=no \
        --log-target=file:"$WORK/pa/server.log" >/dev/null 2>&1 &
    SERVER_PID=$!
    OWN_SERVER=1
    export PULSE_SERVER=unix:$WORK/pa/native
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "the sound server did not start" >&2
    return 1
}

# Ends the server only if start_server started it.
stop_server() {
    [ -n "$OWN_SERVER" ] && [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null &&
        wait "$SERVER_PID" 2>/dev/null
    SERVER_PID=
    OWN_SERVER=
}

# Starts the program from APP_DIR with no audio driver forced, so that it finds the sound server
# as on a desktop. BREVANT_LATENCY_MS, when set, is passed on.
start_app_on_server() {
    env -i PATH=/usr/bin:/bin HOME="$APP_DIR" XDG_CONFIG_HOME="$APP_DIR/config" \
        DISPLAY="$DISPLAY" SDL_VIDEODRIVER=x11 PULSE_SERVER="$PULSE_SERVER" \
        ${BREVANT_LATENCY_MS:+BREVANT_LATENCY_MS=$BREVANT_LATENCY_MS} \
        "$APP_DIR/$APP_EXE" >"$APP_DIR/output.log" 2>&1 &
    APP_PID=$!
}

# Four processes that keep the cores busy, as the timing figures are taken under load.
BUSY_PIDS=
start_busy() {
    for _ in 1 2 3 4; do (while :; do :; done) & BUSY_PIDS="$BUSY_PIDS $!"; done
}

stop_busy() {
    # shellcheck disable=SC2086
    [ -n "$BUSY_PIDS" ] && kill $BUSY_PIDS 2>/dev/null
    BUSY_PIDS=
}
