#!/bin/sh
# Installs the build into a temporary prefix and checks what a user gets:
# the programs, the desktop entry with its icon and launcher, the man page,
# and the tool's --help. Usage: check_install.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in lidar-waveform lidar-sim lidar-waveform-desktop; do
    [ -x "$prefix/bin/$f" ] || fail "bin/$f missing or not executable"
done
for size in 16 32; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/lidar-waveform.png
    [ "$(head -c 4 "$icon" | tail -c 3)" = PNG ] || fail "no PNG icon at $icon"
done
grep -q '^\.TH LIDAR-WAVEFORM 1' "$prefix/share/man/man1/lidar-waveform.1" || fail "man page missing"

entry=$prefix/share/applications/lidar-waveform.desktop
grep -qx 'Exec=lidar-waveform-desktop' "$entry" || fail "desktop entry does not start the launcher"
grep -qx 'Icon=lidar-waveform' "$entry" || fail "desktop entry names another icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop entry does not validate"
fi

# The launcher makes the settings folder and starts the tool beside it in it.
mkdir "$work/bin"
cp "$prefix/bin/lidar-waveform-desktop" "$work/bin/"
printf '#!/bin/sh\npwd\n' >"$work/bin/lidar-waveform"
chmod +x "$work/bin/lidar-waveform"
started_in=$(cd / && env -u XDG_CONFIG_HOME HOME="$work/home" "$work/bin/lidar-waveform-desktop")
[ "$started_in" = "$work/home/.config/lidar-waveform" ] || fail "launcher started the tool in '$started_in'"

help=$("$prefix/bin/lidar-waveform" --help)
for option in --port --baud --lang --help Trivane_QZ90.ini .config/lidar-waveform; do
    echo "$help" | grep -q -- "$option" || fail "--help does not mention $option"
done
status=0
"$prefix/bin/lidar-waveform" --lang fr 2>"$work/err" || status=$?
[ "$status" = 2 ] && grep -q 'fr' "$work/err" || fail "--lang fr gave status $status: $(cat "$work/err")"
echo "install tree: all checks passed"
