# Sourced by run.sh and test.sh: installs what the build needs, then builds.
# Kept idempotent: a second run installs nothing and rebuilds incrementally.

LIDAR_PACKAGES=(build-essential cmake qtbase5-dev libqt5serialport5-dev libqcustomplot-dev
                libbenchmark-dev clang libclang-rt-14-dev xvfb xauth)
# The English catalogue (lupdate, lrelease and their CMake package), Qt's own
# translations, the Chinese font, and the desktop-entry check of the install test.
LIDAR_PACKAGES+=(qttools5-dev qttools5-dev-tools qttranslations5-l10n fonts-wqy-microhei desktop-file-utils)

lidar_install_packages() {
    local missing=()
    local p
    for p in "${LIDAR_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run once:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" || return 1
}

# lidar_build DIR [cmake options...]
lidar_build() {
    local dir=$1
    shift
    cmake -S "$LIDAR_ROOT" -B "$dir" "$@" >/dev/null || return 1
    cmake --build "$dir" -j "$(nproc)" || return 1
}
