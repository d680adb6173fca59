#!/bin/sh
# Proves that check-includes.sh finds each kind of broken arrow: it builds a small tree with one
# break of each kind and expects exactly those complaints.
set -u
here=$(cd "$(dirname "$0")" && pwd)
tree=$(mktemp -d) || exit 2
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/platform/system" "$tree/platform/sound" "$tree/platform/draw" "$tree/app"
printf '#include "platform/sound/SoundDevice.h"\n' > "$tree/platform/system/Clock.cpp"
printf '#include <SDL2/SDL.h>\n' > "$tree/platform/sound/SoundDevice.h"
printf '#include "app/Program.h"\n' > "$tree/platform/draw/Canvas.cpp"
printf '#include "platform/system/Clock.h"\n#include <pulse/pulseaudio.h>\n' > "$tree/app/Program.cpp"
printf '// left behind\n' > "$tree/platform/Stray.h"
out=$(sh "$here/check-includes.sh" "$tree")
status=$?
echo "$out"
[ $status -eq 1 ] || { echo "expected exit 1, got $status"; exit 1; }
for why in "system/ may not include sound/" "a foreign header outside platform's sources" \
           "platform includes the program" "a platform source outside the four rooms"; do
    echo "$out" | grep -qF "$why" || { echo "missed: $why"; exit 1; }
done
[ "$(echo "$out" | wc -l)" -eq 5 ] || { echo "expected 5 complaints"; exit 1; }
echo "every kind of break was found"
