#!/usr/bin/env bash
# Smoke test of the real program: starts it under Xvfb beside a settings file, finds its window by
# title, checks the minimum size hint, closes it as the close box does (WM_DELETE_WINDOW) and checks
# that the settings were read at start and written at close, the placement with them. Exit 77
# (skipped) when xvfb-run or xdotool is missing.
#   smoke.sh DIVE WMCLOSE
set -uo pipefail

if [ "${1:-}" = "--inner" ]; then
    dir=$2
    wmclose=$3
    "$dir/dive" >"$dir/dive.log" 2>&1 &
    pid=$!
    window=
    for _ in $(seq 1 300); do
        window=$(xdotool search --name 'diVE .*V1\.04' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "FAIL: no window titled 'diVE ... V1.04'"
        cat "$dir/dive.log"
        kill "$pid" 2>/dev/null
        exit 1
    fi
    # The designed size is the smallest: the window manager learns it as the minimum size hint.
    size=$(xwininfo -id "$window" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w " by " h}')
    hinted=
    for _ in $(seq 1 50); do
        xprop -id "$window" WM_NORMAL_HINTS | grep -q "minimum size: $size" && hinted=1 && break
        sleep 0.1
    done
    [ -n "$hinted" ] || { echo "FAIL: no minimum size hint of $size"; xprop -id "$window"; kill "$pid"; exit 1; }
    "$wmclose" "$window" || { echo "FAIL: could not send WM_DELETE_WINDOW"; kill "$pid"; exit 1; }
    for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: the program still runs 30 s after the close request"
        kill "$pid"
        exit 1
    fi
    wait "$pid"
    rc=$?
    cat "$dir/dive.log"
    [ "$rc" -eq 0 ] || { echo "FAIL: exit status $rc"; exit 1; }
    exit 0
fi

dive=$1
wmclose=$2
command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit 77; }
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$dive" "$dir/dive"
# Values the program must read at start and write back at close; BAUD=20 is out of range.
printf '[PORT]\nCOM=3\nBAUD=20\nPARITY=2\n[SYSTEM]\nPERIOD=250\n[DEVICES]\nCOM4=/dev/null-diVE\n' \
    >"$dir/Vexor.ini"

unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" --inner "$dir" "$wmclose" || exit 1

echo "--- Vexor.ini after the run"
cat "$dir/Vexor.ini"
expect() {
    grep -qx "$1" "$dir/Vexor.ini" || { echo "FAIL: '$1' missing"; exit 1; }
}
expect 'COM=3'
expect 'DATABITS=2'
expect 'STOPBITS=0'
expect 'PARITY=2'
expect 'BAUD=0'
expect 'TXFORMAT=0'
expect 'PERIOD=250'
expect 'COM4=/dev/null-diVE'
grep -qE '^WindowPlacement=-?[0-9]+,-?[0-9]+,[0-9]+,[0-9]+,1,0$' "$dir/Vexor.ini" ||
    { echo "FAIL: no window placement"; exit 1; }
echo "PASS"
