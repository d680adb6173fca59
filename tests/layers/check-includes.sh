#!/bin/sh
# Checks which way the source tree's includes point: foreign headers stay inside platform/,
# platform/ includes nothing of the program, and its four rooms depend on each other only as
# docs/architecture.md draws them. Prints each include that breaks a rule; exits 1 if any does.
# Usage: check-includes.sh SOURCE_DIR
set -u
cd "${1:-.}" || exit 2

foreign='<(SDL2/|SDL\.h|pulse/|X11/|ft2build\.h|freetype/|fontconfig/|jack/|ableton/|samplerate\.h|soxr\.h)'
program='base audio engine graphics shadeui popups about app'
status=0
hits=$(mktemp) || exit 2
trap 'rm -f "$hits"' EXIT

# complain WHERE WHY: one broken rule, where it is and why it breaks.
complain() {
    echo "$1 ($2)"
    status=1
}

# Foreign headers: only platform's own .cpp files may include them.
for dir in $program platform; do
    [ -d "$dir" ] || continue
    grep -rnE "^#include $foreign" "$dir" --include='*.h' --include='*.cpp' |
        grep -vE '^platform/[a-z]+/[A-Za-z0-9_]+\.cpp:' > "$hits"
    while IFS= read -r hit; do complain "$hit" "a foreign header outside platform's sources"; done \
        < "$hits"
done

# allowed ROOM: the rooms a room of platform/ may include.
allowed() {
    case "$1" in
        system) echo "system" ;;
        draw) echo "draw system" ;;
        window) echo "window draw system" ;;
        sound) echo "sound system" ;;
        *) echo "" ;;
    esac
}

# Inside platform/: nothing of the program, no file left outside a room, and only the rooms
# that a room's arrows reach.
for file in $(find platform -name '*.h' -o -name '*.cpp' | sort); do
    room=$(echo "$file" | cut -d/ -f2)
    case "$file" in
        platform/*/*) ;;
        *) complain "$file" "a platform source outside the four rooms"; continue ;;
    esac
    grep -nE '^#include "' "$file" > "$hits"
    while IFS= read -r line; do
        target=$(echo "$line" | sed -E 's/^[0-9]+:#include "([^"]+)".*/\1/')
        case "$target" in
            platform/*/*) ;;
            *) complain "$file:$line" "platform includes the program"; continue ;;
        esac
        want=$(echo "$target" | cut -d/ -f2)
        ok=0
        for r in $(allowed "$room"); do [ "$r" = "$want" ] && ok=1; done
        [ $ok -eq 1 ] || complain "$file:$line" "$room/ may not include $want/"
    done < "$hits"
done
[ $status -eq 0 ] && echo "includes: every arrow points the allowed way"
exit $status
