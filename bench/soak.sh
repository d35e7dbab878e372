#!/usr/bin/env bash
# Builds and runs the reconnection soak (Release): the window against the
# simulator at the link limit while the simulator unplugs itself and comes
# back. Not part of ./test.sh; its figures go in BENCHMARKS.md.
#   bench/soak.sh [--minutes M] [--period S] [--gap-ms G]   (default 10, 120, 2000)
#   LIDAR_BENCH_BUILD=dir                                    default: build-bench
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LIDAR_BENCH_BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLIDAR_BENCH=ON >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" --target soak_reconnect lidar-sim >/dev/null || exit 1
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
QT_QPA_PLATFORM=offscreen exec "$build/bench/soak_reconnect" "$@"
