#!/bin/sh
# lidar-cli links no widget: neither the built program's dynamic entries
# (NEEDED) nor the link line the build system made for it name Qt Widgets,
# Qt Print Support, QCustomPlot or the window's own library, and its code
# holds no QWidget. Usage: check_widget_free.sh BUILD_DIR
set -eu
build=$1
program=$build/lidar-cli
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$program" ] || fail "no lidar-cli in $build"

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || fail "readelf found no NEEDED entries"
echo "$needed" | grep -q '^libQt5Core' || fail "NEEDED lacks Qt Core: $needed"
bad=$(echo "$needed" | grep -Ei 'Qt5Widgets|Qt5PrintSupport|qcustomplot' || true)
[ -z "$bad" ] || fail "lidar-cli needs $bad"

# The link line: every library, also those reached through another one.
link=$(find "$build" -path '*/lidar-cli.dir/link.txt' | head -n 1)
if [ -n "$link" ]; then
    line=$(cat "$link")
elif [ -f "$build/build.ninja" ]; then
    line=$(grep -A3 '^build lidar-cli:' "$build/build.ninja")
else
    fail "no link line for lidar-cli in $build"
fi
echo "$line" | grep -q 'lidar_logic' || fail "the link line found is not lidar-cli's: $line"
for banned in liblidar_ui Qt5Widgets Qt5PrintSupport qcustomplot; do
    echo "$line" | grep -qi -- "$banned" && fail "lidar-cli links $banned: $line"
done

# Nothing of a widget made it in by another road (a header-only use).
if nm -C "$program" | grep -q 'QWidget::'; then
    fail "lidar-cli refers to QWidget"
fi
echo "lidar-cli: widget-free"
