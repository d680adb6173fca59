#!/bin/sh
# Installs the Debian packages Brevant needs for the given purpose, only those that are missing.
# Usage: tools/install-deps.sh run|test|bench|fuzz|package|measure
set -e

purpose="${1:-run}"
build="g++ cmake make pkg-config libsdl2-dev libpulse-dev libjack-jackd2-dev libsamplerate0-dev libx11-dev
  libfreetype-dev libfontconfig-dev ableton-link-dev"
fonts="fontconfig fonts-dejavu-core fonts-wine"
# jackd2 runs the private dummy JACK servers of the JACK tests.
tests="googletest libgtest-dev xvfb xdotool imagemagick x11-utils openbox xfwm4 dbus-x11 weston xwayland sway grim wtype x11-xserver-utils libwayland-dev mutter dbus-daemon libdbus-1-dev pulseaudio pulseaudio-utils jackd2 iproute2 ableton-link-utils"
package="dpkg-dev file binutils gzip"
checks="appstream desktop-file-utils man-db lintian"
peers="gtick libxtst6 linux-perf strace"
case "$purpose" in
  run)   wanted="$build $fonts" ;;
  test)  wanted="$build $fonts $tests $package $checks" ;;
  bench) wanted="$build $fonts libbenchmark-dev" ;;
  fuzz)  wanted="$build clang libclang-rt-14-dev" ;;
  package) wanted="$build $package" ;;
  measure) wanted="$build $fonts $tests $peers" ;;
  *) echo "install-deps: unknown purpose '$purpose' (run, test, bench, fuzz, package or measure)" >&2; exit 2 ;;
esac

missing=""
for pkg in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $pkg" ;;
  esac
done
[ -z "$missing" ] && exit 0

echo "install-deps: installing$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to allow real-time priority; the tests need no answer but the default.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections 2>/dev/null || true
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
