# Sourced by run.sh and test.sh: installs what the build needs, then builds.
# Kept idempotent: a second run installs nothing and rebuilds incrementally.

# What building and running the tool and the simulator needs: the English
# catalogue (lupdate, lrelease and their CMake package), Qt's own
# translations, and the font that draws the window's Chinese texts, which
# show as empty boxes without one.
LIDAR_RUN_PACKAGES=(build-essential cmake qtbase5-dev libqt5serialport5-dev libqcustomplot-dev
                    libqt5sql5-sqlite libqt5sql5-psql
                    qttools5-dev qttools5-dev-tools qttranslations5-l10n fonts-wqy-microhei)
# What the tests, benchmarks, sanitizer and fuzzing runs add (and the
# desktop-entry and man-page checks of the install test, Python to read the
# measurement log back, poppler-utils to read and render the accuracy
# report's PDF, and the PostgreSQL server the results store's tests start a
# throw-away cluster of; ImageMagick and xdotool to drive and photograph the
# window under Xvfb for the screenshots in the docs; the serial terminal and
# the profiler of the side-by-side benchmark).
LIDAR_TEST_PACKAGES=(libbenchmark-dev clang libclang-rt-14-dev xvfb xauth desktop-file-utils groff-base python3
                     poppler-utils postgresql imagemagick xdotool cutecom linux-perf)

# lidar_install_packages PACKAGE...: installs those of them that are missing.
lidar_install_packages() {
    local missing=()
    local p
    for p in "$@"; do
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

# lidar_configure DIR [cmake options...]
lidar_configure() {
    local dir=$1
    shift
    cmake -S "$LIDAR_ROOT" -B "$dir" "$@" >/dev/null
}

# lidar_compile DIR [TARGET...]: builds the targets, or everything when none
# is given. Prints what gets compiled and what fails, not the lines that only
# say a target is up to date.
lidar_compile() {
    local dir=$1
    shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$dir" -j "$(nproc)" "${targets[@]}" 2>&1 |
        grep -v -E '^(\[ *[0-9]+%\] )?(Built target|Automatic MOC|Scanning dependencies|Consolidate compiler)'
    return "${PIPESTATUS[0]}"
}

# lidar_build DIR [cmake options...]: configures DIR and builds everything.
lidar_build() {
    lidar_configure "$@" && lidar_compile "$1"
}
