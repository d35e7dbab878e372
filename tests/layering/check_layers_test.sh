#!/usr/bin/env bash
# The layering check passes on the project and fails on each kind of upward
# include: the window from a lower layer, the command set from the link, a
# widget from the command-line tool.
set -u
check=$1
root=$2
failures=0

expect() {
    local want=$1 tree=$2 what=$3
    bash "$check" "$tree" >/dev/null 2>&1
    local got=$?
    if { [ "$want" = pass ] && [ $got -ne 0 ]; } || { [ "$want" = fail ] && [ $got -eq 0 ]; }; then
        echo "FAIL: $what (expected the check to $want)"
        failures=$((failures + 1))
    fi
}

expect pass "$root" "the project itself"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree() {
    rm -rf "$work/t" && mkdir -p "$work/t/$(dirname "$1")" && printf '%s\n' "$2" > "$work/t/$1"
    echo "$work/t"
}
expect fail "$(tree files/A.cpp '#include "app/MainWindow.h"')" "files/ including the window"
expect fail "$(tree download/A.cpp '  #  include "app/UserPrompts.h"')" "download/ including app/ with spaces"
expect fail "$(tree workflow/A.cpp '#include "ui_MainWindow.h"')" "workflow/ including the window's form"
expect fail "$(tree link/A.cpp '#include "workflow/CommandSet.h"')" "link/ including the command set"
expect fail "$(tree results/A.cpp '#include "app/MainWindow.h"')" "a new folder including the window"
expect fail "$(tree cli/A.cpp '#include "widgets/UserPrompts.h"')" "the command-line tool including a widget"
expect fail "$(tree io/A.cpp '#include "link/QTRNet.h"')" "io/ including the link"
expect pass "$(tree files/A.cpp '#include "io/RegularFile.h"')" "files/ including io/"
expect pass "$(tree cli/A.cpp '#include "settings/UiLanguage.h"')" "the command-line tool including the settings"
expect fail "$(tree cli/A.cpp '#include "app/SettingsRules.h"')" "the command-line tool including app/"
expect fail "$(tree settings/A.cpp '#include "link/QTRNet.h"')" "settings/ including the link"
expect fail "$(tree report/A.cpp '#include "widgets/UserPrompts.h"')" "the report including a widget"
expect fail "$(tree runsession/A.cpp '#include "widgets/UserPrompts.h"')" "the run session including a widget"
expect fail "$(tree testrun/A.cpp '#include "runsession/RunSession.h"')" "the runner including its session"
expect pass "$(tree app/A.cpp '#include "workflow/CommandSet.h"')" "the window including any layer"
expect pass "$(tree files/A.cpp '#include <QFile>')" "a system header"

[ $failures -eq 0 ] && echo "layering check: all cases as expected"
exit $((failures > 0))
