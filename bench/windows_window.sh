#!/usr/bin/env bash
# The window on Windows under Wine beside the Linux window, on the same job and the same
# virtual board scenario (real board timing): the time from start to the power prompt (a
# board whose target is off), and Auto of a 1 MiB image (Ctrl+Alt+R reloads it, Ctrl+Alt+A
# runs Auto; done when the unit's record is written). Each on its own Xvfb display.
# Usage: bench/windows_window.sh   (after the windows and release presets are built)
set -euo pipefail
cd "$(dirname "$0")/.."
WIN_BIN=${WIN_BIN:-build/windows/bin}
LINUX_BIN=${LINUX_BIN:-build/release/bin}
work=$(mktemp -d)
export WINEPREFIX=${WINEPREFIX:-$work/wine} WINEDEBUG=-all
xvfb_pid=
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=tests/winshell/wine_display.sh
. tests/winshell/wine_display.sh
now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }
wine_display 200
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1

python3 -c "import os,sys; sys.stdout.buffer.write(os.urandom(1 << 20))" >"$work/image.bin"
sed 's/^powered = yes/powered = no/' sim/scenarios/default.ini >"$work/off.ini"
cp sim/scenarios/default.ini "$work/on.ini"
# The Windows library's in-process board plays the datasheet waits only when its scenario says
# so (vessa-sim --timing real does it for the Linux window): the same job on both.
sed 's/^\[scenario\]$/[scenario]\nreal_time = yes/' sim/scenarios/default.ini >"$work/on-real.ini"

# Waits for a window whose title matches $1; prints its id.
wait_window() {
    for _ in $(seq 1200); do
        xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 && return 0
        sleep 0.05
    done
    return 1
}
# One program: $1 label, then the command that starts the window (environment set by caller).
measure() {
    local label=$1
    shift
    local start
    start=$(now)
    "$@" >"$work/$label-prompt.log" 2>&1 &
    local pid=$!
    # The prompt is the second window on the display.
    for _ in $(seq 2400); do
        [ "$(xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l)" -ge 2 ] && break
        sleep 0.025
    done
    echo "$label: start-up to the power prompt $(since "$start") s"
    # The whole program goes (under Wine the launcher's end does not end the program).
    wineserver -k >/dev/null 2>&1 || true
    pkill -f "$LINUX_BIN/quillon " 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
measure_auto() {
    local label=$1 record=$2
    shift 2
    "$@" >"$work/$label-auto.log" 2>&1 &
    local pid=$!
    local window
    window=$(wait_window '^KavoEC_Quillon')
    # Start-up greets the board and asks for its power: answered from the keyboard.
    local prompt=
    for _ in $(seq 100); do
        prompt=$(xdotool search --onlyvisible --name '^Warning$' 2>/dev/null | head -n1 || true)
        [ -n "$prompt" ] && break
        sleep 0.1
    done
    if [ -n "$prompt" ]; then
        xdotool windowfocus --sync "$prompt" key Return || true
    fi
    sleep 2
    xdotool key ctrl+alt+r
    sleep 1
    local start
    start=$(now)
    # A key pressed while the window polls the board's power is not taken: pressed again.
    for _ in $(seq 30); do
        xdotool key ctrl+alt+a
        for _ in $(seq 50); do [ -s "$record" ] && break 2; sleep 0.02; done
    done
    echo "$label: Auto of 1 MiB $(since "$start") s ($(grep -o '"outcome":"[a-z]*"' "$record"))"
    xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null || true
    sleep 2
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

wine reg add 'HKCU\SOFTWARE\Kavo\QuillonBench' /v LastFilePath /t REG_SZ \
    /d "$(winpath "$work/image.bin")" /f >/dev/null 2>&1
VESSA_SIM_SCENARIO=$(winpath "$work/off.ini") measure windows \
    wine "$WIN_BIN/quillon.exe" --settings 'SOFTWARE\Kavo\QuillonBench'
# The controller on KBS and its part identified first, as a line's set-up would.
VESSA_SIM_SCENARIO=$(winpath "$work/on-real.ini") wine "$WIN_BIN/quillon-cli.exe" \
    --settings 'SOFTWARE\Kavo\QuillonBench' --clock real set ConnectMode=1 tick typeauto \
    >"$work/win-setup.log" 2>&1 || echo "windows: typeauto: $(tail -n 3 "$work/win-setup.log")"
VESSA_SIM_SCENARIO=$(winpath "$work/on-real.ini") measure_auto windows "$work/win.jsonl" \
    wine "$WIN_BIN/quillon.exe" --settings 'SOFTWARE\Kavo\QuillonBench' \
    --record "$(winpath "$work/win.jsonl")"

# Linux: the same window on vessa-sim with real timing.
linux_window() {
    local scenario=$1
    shift
    local sock=$work/sim-$RANDOM.sock
    "$LINUX_BIN/vessa-sim" serve --scenario "$scenario" --socket "$sock" \
        --state "$work/state-$RANDOM" --timing real >/dev/null 2>&1 &
    local sim=$!
    for _ in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
    VESSA_SIM_SOCKET=$sock QUILLON_INSTANCE_NAME=bench-$RANDOM "$LINUX_BIN/quillon" \
        --settings "$work/linux.sqlite" "$@"
    kill "$sim" 2>/dev/null || true
}
"$LINUX_BIN/quillon-cli" --settings "$work/linux.sqlite" set "LastFilePath=$work/image.bin" \
    >/dev/null
measure linux linux_window "$work/off.ini"
sock=$work/setup.sock
"$LINUX_BIN/vessa-sim" serve --scenario "$work/on.ini" --socket "$sock" --state "$work/setup" \
    --timing fast >/dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
VESSA_SIM_SOCKET=$sock "$LINUX_BIN/quillon-cli" --settings "$work/linux.sqlite" --clock virtual \
    set ConnectMode=1 tick typeauto >"$work/linux-setup.log" 2>&1 ||
    echo "linux: typeauto: $(tail -n 3 "$work/linux-setup.log")"
kill "$sim"
measure_auto linux "$work/linux.jsonl" linux_window "$work/on.ini" --record "$work/linux.jsonl"
