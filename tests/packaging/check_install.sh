#!/bin/sh
# Installs the build into a temporary prefix and checks what a user gets:
# the programs, the desktop entry with its icon and launcher, the man pages,
# the command-line tool's bash completion, the copyright notice, and the
# tools' --help. Usage: check_install.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in lidar-waveform lidar-cli lidar-sim lidar-waveform-desktop; do
    [ -x "$prefix/bin/$f" ] || fail "bin/$f missing or not executable"
done
for size in 16 32; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/lidar-waveform.png
    [ "$(head -c 4 "$icon" | tail -c 3)" = PNG ] || fail "no PNG icon at $icon"
done
man=$prefix/share/man/man1/lidar-waveform.1
grep -q '^\.TH LIDAR-WAVEFORM 1' "$man" || fail "man page missing"
# It covers what the window does beyond the first steps, and renders cleanly.
for section in 'MEASUREMENT LOG' 'STATISTICS' 'TRAFFIC MONITOR' 'DOWNLOADS'; do
    grep -qx "\.SH $section" "$man" || fail "man page has no section $section"
done
warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$man" 2>&1) || fail "man page does not render"
[ -z "$warnings" ] || fail "man page renders with warnings: $warnings"

# The command-line tool's page: every exit status, rendered cleanly.
man=$prefix/share/man/man1/lidar-cli.1
grep -q '^\.TH LIDAR-CLI 1' "$man" || fail "lidar-cli man page missing"
grep -qx '\.SH EXIT STATUS' "$man" || fail "lidar-cli man page has no EXIT STATUS"
for code in 0 1 2 3 4 5 6; do
    grep -A1 -x '\.TP' "$man" | grep -qx "\.B $code" || fail "lidar-cli man page lacks exit status $code"
done
grep -q '^\.B 130 ' "$man" || fail "lidar-cli man page lacks exit status 130"
warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$man" 2>&1) || fail "lidar-cli man page does not render"
[ -z "$warnings" ] || fail "lidar-cli man page renders with warnings: $warnings"

# Its completion, where bash-completion loads it by the command's name,
# completes commands, each command's options once, and option values.
completion=$prefix/share/bash-completion/completions/lidar-cli
[ -f "$completion" ] || fail "no bash completion for lidar-cli"
completed=$(bash -c '. "$1"
    c() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _lidar_cli; echo "${COMPREPLY[*]}"; }
    c lidar-cli st; c lidar-cli stream --frames 5 --f; c lidar-cli stats --quantity ""' _ "$completion") ||
    fail "the completion does not load"
[ "$completed" = "$(printf 'stream stats\n--format\nfirst mean')" ] || fail "the completion offered: $completed"

grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/' \
    "$prefix/share/doc/lidar-waveform/copyright" || fail "no copyright under share/doc/lidar-waveform"

entry=$prefix/share/applications/lidar-waveform.desktop
grep -qx 'Exec=lidar-waveform-desktop' "$entry" || fail "desktop entry does not start the launcher"
grep -qx 'Icon=lidar-waveform' "$entry" || fail "desktop entry names another icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop entry does not validate"
fi

# The launcher makes the settings folder and starts the tool that lies beside
# its real file in it, however it was called: by its full path, by a relative
# one, or through a symbolic link elsewhere (folder names with blanks included).
bin="$work/tool bin"
mkdir "$bin" "$work/links"
cp "$prefix/bin/lidar-waveform-desktop" "$bin/"
printf '#!/bin/sh\npwd\necho "$@"\n' >"$bin/lidar-waveform"
chmod +x "$bin/lidar-waveform"
ln -s "../tool bin/lidar-waveform-desktop" "$work/links/lidar"
settings=$work/home/.config/lidar-waveform
expected=$(printf '%s\n--port /dev/ttyUSB0' "$settings")
launch() { env -u XDG_CONFIG_HOME HOME="$work/home" "$@" --port /dev/ttyUSB0; }
started=$(cd / && launch "$bin/lidar-waveform-desktop") || fail "launcher by full path failed"
[ "$started" = "$expected" ] || fail "launcher by full path started: '$started'"
started=$(cd "$bin" && launch ./lidar-waveform-desktop) || fail "launcher by relative path failed"
[ "$started" = "$expected" ] || fail "launcher by relative path started: '$started'"
started=$(cd "$work/links" && launch ./lidar) || fail "launcher through a symbolic link failed"
[ "$started" = "$expected" ] || fail "launcher through a symbolic link started: '$started'"

help=$("$prefix/bin/lidar-waveform" --help)
for option in --port --baud --lang --help Trivane_QZ90.ini .config/lidar-waveform; do
    echo "$help" | grep -q -- "$option" || fail "--help does not mention $option"
done
status=0
"$prefix/bin/lidar-waveform" --lang fr 2>"$work/err" || status=$?
[ "$status" = 2 ] && grep -q 'fr' "$work/err" || fail "--lang fr gave status $status: $(cat "$work/err")"

# The command-line tool runs from the install tree and lists its exit codes.
help=$("$prefix/bin/lidar-cli" --help)
for text in 'lidar-cli stream' 'Exit status' '130'; do
    echo "$help" | grep -q -- "$text" || fail "lidar-cli --help does not mention $text"
done
echo "install tree: all checks passed"
