#!/usr/bin/env bash
# Installs what is missing, builds, and opens the tool.
# Without a USB bridge (vendor 10c4) a simulated sensor is started and its port
# handed to the window, so Start shows live data at once. --no-sim, or a port
# given with --port, leaves the simulator out. Other arguments go to the tool.
set -u
LIDAR_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$LIDAR_ROOT"
. scripts/setup.sh

use_sim=1
tool_args=()
for arg in "$@"; do
    case "$arg" in
        --no-sim) use_sim=0 ;;
        --port|--port=*) use_sim=0; tool_args+=("$arg") ;;
        *) tool_args+=("$arg") ;;
    esac
done

bridge_present() {
    local dev vendor
    for dev in /sys/bus/usb-serial/devices/*; do
        [ -e "$dev" ] || continue
        vendor=$(cat "$(readlink -f "$dev")/../../idVendor" 2>/dev/null)
        [ "$vendor" = 10c4 ] && return 0
    done
    return 1
}

# Starts the simulator and sets sim_port; false when it did not come up.
start_sim() {
    sim_out=$(mktemp)
    # It also ends by itself should this script be killed outright.
    build/lidar-sim --watch-pid $$ --idle-exit 0 >"$sim_out" &
    sim_pid=$!
    trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -f "$sim_out"' EXIT
    local i
    for i in $(seq 50); do
        if [ "$(wc -l <"$sim_out")" -ge 1 ]; then
            sim_port=$(head -n 1 "$sim_out")
            return 0
        fi
        kill -0 "$sim_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

lidar_install_packages "${LIDAR_RUN_PACKAGES[@]}" || exit 1
# Only the tool and the simulator: the tests and benchmarks are ./test.sh's.
lidar_configure build -DLIDAR_BENCH=OFF || exit 1
lidar_compile build lidar-waveform lidar-sim || exit 1

if [ "$use_sim" = 0 ] || bridge_present; then
    exec build/lidar-waveform "${tool_args[@]}"
fi

sim_port=
start_sim || { echo "The simulator did not start." >&2; exit 1; }
echo "Simulated sensor on $sim_port: press Start to see live data."
build/lidar-waveform --port "$sim_port" "${tool_args[@]}"
