#!/usr/bin/env bash
# Screenshots of the terminal window and its about box under a virtual X display, for looking at
# the window by eye: scripts/terminal-shots.sh [DIVE] [OUTDIR]. DIVE defaults to build/dive; the
# pictures land in OUTDIR (default /tmp/dive-shots) as main.png and about.png. A settings file
# OUTDIR/Vexor.ini, when present, is used as the program's settings.
set -euo pipefail
dive=$(realpath "${1:-build/dive}")
out=${2:-/tmp/dive-shots}
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "${pid:-}" "${xpid:-}" 2>/dev/null; rm -rf "$work"' EXIT
cp "$dive" "$work/dive"
[ -f "$out/Vexor.ini" ] && cp "$out/Vexor.ini" "$work/Vexor.ini"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
export DISPLAY=$display
unset QT_QPA_PLATFORM
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$work/dive" >"$work/dive.log" 2>&1 &
pid=$!

# Waits for a window whose name matches $1 and prints "id width height x y".
window() {
    for _ in $(seq 100); do
        local line
        line=$(xwininfo -root -tree | grep -E "\"$1\"" | head -n 1 || true)
        if [ -n "$line" ]; then
            echo "$line" | sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4 \5/'
            return 0
        fi
        sleep 0.1
    done
    echo "no window $1" >&2
    return 1
}

read -r id w h x y < <(window 'diVE .*V1\.04')
sleep 1
import -window root -crop "${w}x${h}+${x}+${y}" "$out/main.png"

# The help button sits at the bottom right of the window.
xdotool mousemove $((x + w - 55)) $((y + h - 20)) click 1
read -r aid aw ah ax ay < <(window '关于diVE')
sleep 0.5
import -window root -crop "${aw}x${ah}+${ax}+${ay}" "$out/about.png"
xdotool key Return || true
echo "main window $id ${w}x${h}, about box ${aw}x${ah}: $out/main.png $out/about.png"
