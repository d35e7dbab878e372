#!/usr/bin/env bash
# Installs what is missing, builds, and opens the tool.
set -u
LIDAR_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$LIDAR_ROOT"
. scripts/setup.sh

lidar_install_packages || exit 1
lidar_build build || exit 1
exec build/lidar-waveform "$@"
