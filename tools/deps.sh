#!/usr/bin/env bash
# Installs the Debian packages Tollora needs: `tools/deps.sh run` for building and starting the
# Linux program, `tools/deps.sh test` for building and running every test, `tools/deps.sh bench`
# for the benchmarks and the programs they compare Tollora with. Only what is missing
# is installed, so a second call costs nothing.
set -euo pipefail

run=(cmake make g++ pkg-config qt6-base-dev libcanberra-dev libxcb1-dev qt6-wayland fonts-dejavu-core fonts-liberation)
test=("${run[@]}" libgtest-dev clang libclang-rt-14-dev xvfb xauth evilwm trayer xdotool xclip x11-apps x11-utils imagemagick weston
      g++-mingw-w64-x86-64 wine wine64 fonts-wine zip procps dbus at-spi2-core python3-pyatspi
      dpkg-dev file lintian desktop-file-utils appstream)

bench=("${test[@]}" libx11-dev dbus-x11 alarm-clock-applet gnome-clocks)

case "${1:-}" in
  run) wanted=("${run[@]}") ;;
  test) wanted=("${test[@]}") ;;
  bench) wanted=("${bench[@]}") ;;
  *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
