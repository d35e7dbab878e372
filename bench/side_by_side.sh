#!/usr/bin/env bash
# This tool and a general serial terminal (CuteCom, in its hex view) side by
# side at the link limit, under a virtual X server of their own: prints the CPU
# each receiving process used and the ratio. Not part of ./test.sh; its figures
# go in BENCHMARKS.md.
#   bench/side_by_side.sh [--rounds 3] [--seconds 20] [--points 1,300]
#                         [--baseline OTHER-BUILD/lidar-waveform] [--only NAME,...]
#   LIDAR_BENCH_BUILD=dir      default: build-bench (Release)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LIDAR_BENCH_BUILD:-$root/build-bench}
# The programs run in folders of their own: the paths must not be relative.
case $build in /*) ;; *) build=$PWD/$build ;; esac
LIDAR_ROOT=$root
. "$root/scripts/setup.sh"
lidar_install_packages "${LIDAR_TEST_PACKAGES[@]}" || exit 1
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLIDAR_BENCH=ON >/dev/null || exit 1
fi
cmake --build "$build" -j "$(nproc)" --target side_by_side >/dev/null || exit 1

# A display of our own: the first free number from 90 up.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start." >&2; exit 1; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "peer: cutecom $(dpkg-query -W -f='${Version}' cutecom 2>/dev/null)"
DISPLAY=":$display" "$build/bench/side_by_side" --tool "$build/lidar-waveform" \
    --peer "$(command -v cutecom)" --preload "$build/bench/modem_lines_preload.so" "$@"
