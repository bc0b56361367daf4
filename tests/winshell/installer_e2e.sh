#!/usr/bin/env bash
# The Windows installer end to end, under Wine on an Xvfb display: a silent installation with
# the virtual board chosen, the installed quillon.exe on the real windows platform plugin,
# the last image reloaded with Ctrl+Alt+R and Auto run with Ctrl+Alt+A (the system-wide hot
# keys), the window closed; the flash is judged from the board's own memory dump, not from
# the window. Then the uninstaller, which leaves the operator's settings.
# Usage: installer_e2e.sh INSTALLER WINE_LOADER OUT_DIR
#   (WINEPREFIX names a scratch prefix; OUT_DIR keeps the screenshot and the logs)
set -euo pipefail
installer=$(realpath "$1")
loader=$2
mkdir -p "$3"
out=$(realpath "$3")
export WINEDEBUG=-all
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    # The Wine session ends with its display.
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=tests/winshell/wine_display.sh
. "$(dirname "$0")/wine_display.sh"
fail() {
    echo "installer_e2e: $*" >&2
    [ -n "${DISPLAY:-}" ] && import -window root "$out/e2e-window.png" 2>/dev/null || true
    exit 1
}

# The display first (the suites' Wine session, without one, ends).
wine_display 90

name=$(basename "$installer" .exe)
word=${name##*-}
folder="C:\\Quillon-$word"
unix_folder="$WINEPREFIX/drive_c/Quillon-$word"
settings_key='HKEY_CURRENT_USER\SOFTWARE\Kavo\Vessa_Quillon'
installer_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon Installer $word"

# A silent installation takes the components an earlier one had: the virtual board is chosen
# the way a previous installation would have recorded it.
$loader reg add "$installer_key\\Components\\virtualboard" /v Installed /t REG_DWORD /d 1 /f \
    >/dev/null
$loader "$(winpath "$installer")" /S "/D=$folder"
for file in quillon.exe quillon-cli.exe Qt6Core.dll Qt6Widgets.dll platforms/qwindows.dll \
    INI/Version.ini KavoVessadll.dll KavoVessadll.virtual \
    Uninstall.exe; do
    [ -e "$unix_folder/$file" ] || fail "the installation has no $file"
done
find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Quillon.lnk' | grep -q . ||
    fail "no Start menu entry"
echo "installed $(du -sk "$unix_folder" | cut -f1) KiB from a $(($(stat -c %s "$installer") / 1024)) KiB installer"

# A 1 MiB image and the settings a bench would have: the image as the last file.
python3 -c "import os,sys; sys.stdout.buffer.write(os.urandom(1 << 20))" >"$work/image.bin"
mkdir "$work/dump"
$loader reg add "$settings_key" /v LastFilePath /t REG_SZ /d "$(winpath "$work/image.bin")" /f \
    >/dev/null
# The controller on KBS and the part behind it, identified with the installed command line
# (TypeAuto), as a line's set-up script would.
$loader "$folder\\quillon-cli.exe" --clock virtual set ConnectMode=1 tick typeauto \
    >"$out/e2e-type.log" 2>&1 ||
    fail "quillon-cli.exe typeauto: $(cat "$out/e2e-type.log")"


started=$(date +%s.%N)
VESSA_SIM_DUMP=$(winpath "$work/dump") \
    $loader "$folder\\quillon.exe" --record "$(winpath "$work/units.jsonl")" \
    >"$out/e2e-quillon.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^KavoEC_Quillon' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled KavoEC_Quillon"
echo "window up in $(echo "$(date +%s.%N) - $started" | bc) s"
# Start-up greets the board; a power prompt, where one comes, is answered with the keyboard.
sleep 3
if prompt=$(xdotool search --onlyvisible --name '^(Information|Warning|KavoEC_Quillon)$' 2>/dev/null |
    grep -v "^$window$" | head -n1) && [ -n "$prompt" ]; then
    xdotool windowfocus --sync "$prompt" key Return || true
fi
xdotool key ctrl+alt+r
sleep 2
# A key pressed while the window polls the board's power is not taken: pressed again until
# Auto runs (its record is written when the unit ends).
for _ in 1 2 3 4 5 6; do
    xdotool key ctrl+alt+a
    for _ in $(seq 200); do
        [ -s "$work/units.jsonl" ] && break 2
        sleep 0.1
    done
done
[ -s "$work/units.jsonl" ] || fail "Auto left no record"
import -window root "$out/e2e-window.png"
# Closed from the keyboard (Alt+F4), so that the board is closed and its memory written out.
xdotool windowfocus --sync "$window" key alt+F4
for _ in $(seq 300); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the window did not close"
app_pid=
grep -q '"outcome":"ok"' "$work/units.jsonl" || fail "the record says: $(cat "$work/units.jsonl")"
[ -f "$work/dump/external.bin" ] || fail "the board left no memory dump"
cmp -n $((1 << 20)) "$work/image.bin" "$work/dump/external.bin" ||
    fail "the board's flash does not hold the image"
echo "Auto through the installed window: the flash holds the image"

$loader "$folder\\Uninstall.exe" /S
for _ in $(seq 100); do [ -e "$unix_folder/quillon.exe" ] || break; sleep 0.2; done
[ -e "$unix_folder/quillon.exe" ] && fail "the uninstaller left quillon.exe"
[ -e "$unix_folder/KavoVessadll.dll" ] && fail "the uninstaller left the virtual board"
$loader reg query "$settings_key" /v LastFilePath >/dev/null 2>&1 ||
    fail "the uninstaller removed the operator's settings"
echo "uninstalled; the settings stay"

# A vendor's driver beside the program is the real board: the virtual board never replaces it.
vendor_folder="$unix_folder-vendor"
mkdir -p "$vendor_folder"
printf 'the vendor driver\n' >"$vendor_folder/KavoVessadll.dll"
$loader "$(winpath "$installer")" /S "/D=$folder-vendor"
[ -e "$vendor_folder/quillon.exe" ] || fail "the second installation has no quillon.exe"
[ "$(cat "$vendor_folder/KavoVessadll.dll")" = 'the vendor driver' ] ||
    fail "the installer replaced the vendor's KavoVessadll.dll"
[ -e "$vendor_folder/KavoVessadll.virtual" ] && fail "the vendor's driver is marked as ours"
echo "a vendor's KavoVessadll.dll is kept"
