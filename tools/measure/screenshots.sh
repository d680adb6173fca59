#!/bin/bash
# Takes the README's screenshots under Xvfb into docs/: the main window in both colour models,
# the open menu, the hot-key dialog, the about screen, the running metronome, a practice pattern
# and the Practice window, and the main window at a display scale of 2.
set -u
. "$(dirname "$0")/common.sh"
OUT=${1:-$BREVANT_ROOT/docs}
mkdir -p "$OUT"
start_desk || exit 1
trap 'stop_app; stop_desk; rm -rf "$APP_DIR"' EXIT

main_shot() { shot_crop "$WIN_X" "$WIN_Y" $MAIN_W $MAIN_H "$OUT/$1"; }

# One program run per picture keeps each one independent of the others' state.
run_fresh() {
    stop_app
    [ -n "$APP_DIR" ] && rm -rf "$APP_DIR"
    make_app_dir "${1:-}"
    start_app
    wait_main
}

run_fresh
main_shot main-light.png

# The menu opens from the grip and hangs inside the window.
click_main 19 13
sleep 0.6
shot_crop "$WIN_X" "$WIN_Y" $MAIN_W $MAIN_H "$OUT/menu.png"
xdotool key Escape
sleep 0.3

# "Hot Keys..." is the fourth entry; the dialog is a window of its own, found by being new.
run_fresh
before=$(xwininfo -root -children | grep -o '^ *0x[0-9a-f]*' | sort)
click_main 19 13
sleep 0.5
xdotool mousemove $((WIN_X + 40)) $((WIN_Y + 23 + 3 * 20 + 10)) click 1
sleep 1
for id in $(xwininfo -root -children | grep -o '^ *0x[0-9a-f]*' | sort); do
    echo "$before" | grep -qw "$id" && continue
    xwininfo -id "$id" | grep -q IsViewable || continue
    import -window "$id" -depth 8 "$OUT/dialog.png" && break
done

run_fresh
click_main 19 13
sleep 0.5
xdotool mousemove $((WIN_X + 40)) $((WIN_Y + 23 + 5 * 20 + 10)) click 1
if wait_window $SPLASH_W $SPLASH_H 5; then
    xdotool mousemove 5 5
    sleep 0.8
    shot_crop "$WIN_X" "$WIN_Y" $SPLASH_W $SPLASH_H "$OUT/about.png"
fi

run_fresh "$(settings_with 0.4 4 false)"
main_shot main-dark.png

# Running: SPACE, then a burst of shots; the one with the most lit (yellow) dial pixels is the
# moment just after a click.
run_fresh
xdotool key space
sleep 1
best=-1
for i in $(seq 12); do
    main_shot "running-$i.png"
    sleep 0.07
done
for i in $(seq 12); do
    lit=$(convert "$OUT/running-$i.png" -crop 189x189+20+43 \
        -fx '(r > 0.67 && g > 0.67 && b < 0.43) ? 1 : 0' -format '%[fx:mean]' info:)
    if awk -v a="$lit" -v b="$best" 'BEGIN { exit !(a > b) }'; then best=$lit; pick=$i; fi
done
mv "$OUT/running-$pick.png" "$OUT/running.png"
rm -f "$OUT"/running-*.png

# Practising: triplets, beat 1 accented, 2 soft, 3 normal, 4 silent, running; then the
# Practice window ("Practice...", the third entry) with the trainer on.
run_fresh "$(settings_with 0.4 4 true | sed 's#</Orvelle#subdivision=3\r\naccents=3/32/322/3120\r\ntrainer=true\r\n</Orvelle#')"
xdotool key space
sleep 1.3
main_shot practice-dial.png
click_main 19 13
sleep 0.5
xdotool mousemove $((WIN_X + 40)) $((WIN_Y + 23 + 2 * 20 + 10)) click 1
if wait_window 300 316 5; then
    sleep 0.8
    shot_crop "$WIN_X" "$WIN_Y" 300 316 "$OUT/practice.png"
fi

# As on a dense screen whose desktop asks for twice the size: each pixel a 2 x 2 block.
stop_app
rm -rf "$APP_DIR"
make_app_dir
start_app GDK_SCALE=2
if wait_window $((2 * MAIN_W)) $((2 * MAIN_H)) 20; then
    sleep 0.8
    shot_crop "$WIN_X" "$WIN_Y" $((2 * MAIN_W)) $((2 * MAIN_H)) "$OUT/main-scale2.png"
fi
