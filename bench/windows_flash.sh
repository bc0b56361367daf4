#!/usr/bin/env bash
# Wall time of `quillon-cli flash` of a 16 MiB image on the in-process virtual board:
# quillon-cli.exe with KavoVessadll.dll under Wine beside the Linux release build on the
# same job (the daemon-free in-process board is what the Windows library carries, so the
# Linux figure uses vessa-sim with fast timing, the nearest Linux equivalent).
# Usage: bench/windows_flash.sh   (after the windows and release presets are built)
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${MIB:-16}
LINUX_BIN=${LINUX_BIN:-build/release/bin}
work=$(mktemp -d)
export WINEPREFIX=${WINEPREFIX:-$work/wine} WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
head -c $((mib * 1048576)) /dev/urandom >"$work/image.bin"
scenario=$PWD/sim/scenarios/ec-large-flash.ini
winpath() { echo "Z:${1//\//\\}"; }
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1

start=$(date +%s.%N)
VESSA_SIM_SCENARIO=$(winpath "$scenario") wine build/windows/bin/quillon-cli.exe \
    --settings 'SOFTWARE\Kavo\QuillonBench' --clock virtual flash "$(winpath "$work/image.bin")" \
    >"$work/win.log" 2>&1
end=$(date +%s.%N)
grep -q 'Auto Flash ---> OK !' "$work/win.log"
echo "windows (wine): $(echo "$end - $start" | bc) s"

sock=$work/sim.sock
${LINUX_BIN}/vessa-sim serve --scenario "$scenario" --socket "$sock" --state "$work/state" \
    --timing fast >/dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
start=$(date +%s.%N)
VESSA_SIM_SOCKET=$sock ${LINUX_BIN}/quillon-cli --settings "$work/s.sqlite" --clock virtual \
    flash "$work/image.bin" >"$work/linux.log" 2>&1
end=$(date +%s.%N)
kill "$sim"
grep -q 'Auto Flash ---> OK !' "$work/linux.log"
echo "linux ($LINUX_BIN, vessa-sim): $(echo "$end - $start" | bc) s"
