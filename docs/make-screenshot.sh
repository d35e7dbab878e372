#!/usr/bin/env bash
# Regenerates docs/screenshot.png: the tool on the simulator, with live data,
# under a virtual X server. Usage: docs/make-screenshot.sh [--lang zh_CN|en]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
lang=zh_CN
[ "${1:-}" = --lang ] && lang=${2:?--lang needs zh_CN or en}
cd "$root"
LIDAR_ROOT=$root
. scripts/setup.sh
lidar_install_packages
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target lidar-screenshot lidar-sim >/dev/null

work=$(mktemp -d)
build/lidar-sim --watch-pid $$ --idle-exit 0 --distance 1500 --jitter 40 >"$work/port" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
port=$(head -n 1 "$work/port")
[ -n "$port" ] || { echo "The simulator did not start." >&2; exit 1; }

# Run in a scratch folder: the window writes its settings file on exit.
(cd "$work" && xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$root/build/lidar-screenshot" --port "$port" --lang "$lang" --out "$work/shot.png")
cp "$work/shot.png" docs/screenshot.png
echo "docs/screenshot.png: $(stat -c %s docs/screenshot.png) bytes"
