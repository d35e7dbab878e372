#!/bin/sh
# Builds the .deb from the build tree and checks its name, contents and the
# Debian packages it declares. Usage: check_deb.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$out"/lidar-waveform_"$version"_*.deb) || fail "no lidar-waveform_${version}_*.deb"

[ "$(dpkg-deb -f "$deb" Package)" = lidar-waveform ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
dpkg-deb -I "$deb" >"$out/info"
depends=$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',|' '\n\n' | sed 's/(.*//')
for pkg in libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5 libqcustomplot2.1 \
           fonts-wqy-microhei qttranslations5-l10n libqt5sql5-sqlite; do
    echo "$depends" | grep -qx "$pkg" || fail "Depends lacks $pkg: $(grep Depends "$out/info")"
done
dpkg-deb -f "$deb" Recommends | grep -qw libqt5sql5-psql || fail "Recommends lacks libqt5sql5-psql"
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/lidar-waveform usr/bin/lidar-cli usr/bin/lidar-sim usr/bin/lidar-waveform-desktop \
         usr/share/applications/lidar-waveform.desktop usr/share/man/man1/lidar-waveform.1 \
         usr/share/man/man1/lidar-cli.1 usr/share/bash-completion/completions/lidar-cli \
         usr/share/icons/hicolor/32x32/apps/lidar-waveform.png usr/share/doc/lidar-waveform/copyright; do
    echo "$contents" | grep -q " \./$f\$" || fail "package lacks /$f"
done
echo "deb package: all checks passed"
