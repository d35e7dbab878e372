#!/usr/bin/env bash
# Fails when a source includes from a layer above its own, so the layers keep
# pointing one way: the link knows nothing of the command set, the widget-free
# layers nothing of the window, and the command-line tool no widget at all.
# Usage: check-layers.sh SOURCE_ROOT. Run by every build.
set -u
root=${1:-.}
cd "$root" || exit 2

# The folders a folder's sources may include from; a folder not listed may
# include from anything but the windows (app/) and the command-line tool.
allowed() {
    case "$1" in
        link) echo "link" ;;
        io) echo "io" ;;
        settings) echo "settings" ;;
        workflow) echo "link workflow" ;;
        files) echo "link workflow files io" ;;
        widgets) echo "widgets" ;;
        sim) echo "link workflow sim" ;;
        testrun) echo "link io workflow files testrun results" ;;
        report) echo "link io workflow testrun report" ;;
        runsession) echo "link io settings workflow files testrun results report runsession" ;;
        cli) echo "link io settings workflow files download testrun results report runsession cli" ;;
        app | tests | bench | fuzz | docs) echo "*" ;;
        *) echo "-app -cli" ;;
    esac
}

status=0
while IFS= read -r file; do
    folder=${file%%/*}
    rule=$(allowed "$folder")
    [ "$rule" = "*" ] && continue
    while IFS=: read -r line included; do
        target=${included%%/*}
        case "$included" in
            ui_MainWindow.h) target=app ;;
            */*) ;;
            *) continue ;;
        esac
        ok=0
        if [ "${rule#-}" != "$rule" ]; then
            ok=1
            for banned in $rule; do
                [ "$target" = "${banned#-}" ] && ok=0
            done
        else
            for permitted in $rule; do
                [ "$target" = "$permitted" ] && ok=1
            done
        fi
        if [ $ok = 0 ]; then
            echo "$file:$line: a $folder/ source includes \"$included\" from $target/" >&2
            status=1
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
done < <(find . -path ./build -prune -o -path './build-*' -prune -o \
              \( -name '*.h' -o -name '*.cpp' \) -print | sed 's#^\./##' | grep '/')

[ $status = 0 ] || echo "Layering check failed: move the code to the layer it belongs to." >&2
exit $status
