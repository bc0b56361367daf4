#!/usr/bin/env bash
# quillon-cli.exe flash of an image of MIB mebibytes on KavoVessadll.dll (the in-process
# virtual board) under Wine; the verdict comes from the board's flash memory, which the
# library writes out when the program ends. The unit's record lands in a CSV file; a
# database URI is refused, as this build records to files only. Then the library plays two
# boards (VESSA_SIM_BOARDS=2): board 1 is flashed with another image and only its memory
# changes; a board beyond the two fails as an unplugged board does.
# Usage: flash_check.sh BIN_DIR MIB   (WINEPREFIX names a scratch Wine prefix)
set -euo pipefail
bin=$1
mib=$2
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }
head -c $((mib * 1048576)) /dev/urandom >"$work/image.bin"
mkdir "$work/flash"
# A scenario with a flash part large enough for the image.
scenario="$(dirname "$0")/../../sim/scenarios/ec-large-flash.ini"
for key in QuillonFlashCheck QuillonFlashCheck-board-1 QuillonFlashCheck-board-2; do
    wine reg delete "HKEY_CURRENT_USER\\SOFTWARE\\Kavo\\$key" /f >/dev/null 2>&1 || true
done
VESSA_SIM_SCENARIO=$(winpath "$(realpath "$scenario")") VESSA_SIM_DUMP=$(winpath "$work/flash") \
    wine "$bin/quillon-cli.exe" --settings 'SOFTWARE\Kavo\QuillonFlashCheck' --clock virtual \
    --record "$(winpath "$work/units.csv")" flash "$(winpath "$work/image.bin")" \
    >"$work/log.txt" 2>&1 || { cat "$work/log.txt"; exit 1; }
grep -q 'Auto Flash ---> OK !' "$work/log.txt"
cmp -n $((mib * 1048576)) "$work/image.bin" "$work/flash/external.bin"
echo "flash of ${mib} MiB: the board's memory holds the image"
# The header and the unit's one record, which passed, on board 0 (the last field).
[ "$(wc -l <"$work/units.csv")" = 2 ] && tail -n1 "$work/units.csv" | grep -q ',flash,.*,ok,0$' ||
    { cat "$work/units.csv"; exit 1; }
status=0
wine "$bin/quillon-cli.exe" --settings 'SOFTWARE\Kavo\QuillonFlashCheck' \
    --record postgresql://db/quillon flash "$(winpath "$work/image.bin")" \
    >"$work/refused.txt" 2>&1 || status=$?
[ "$status" = 64 ] && grep -q 'this build records to files only' "$work/refused.txt" ||
    { echo "a database URI gave status $status:"; cat "$work/refused.txt"; exit 1; }
echo "the record file holds the unit; a database URI is refused"

# Two boards in the library: board 1 takes another image into its own memory (boardK beside
# board 0's files), and board 0's memory, which holds the first image, stays as it was.
head -c 262144 /dev/urandom >"$work/image1.bin"
cp "$work/flash/external.bin" "$work/board0-before.bin"
VESSA_SIM_BOARDS=2 VESSA_SIM_SCENARIO=$(winpath "$(realpath "$scenario")") \
    VESSA_SIM_DUMP=$(winpath "$work/flash") \
    wine "$bin/quillon-cli.exe" --board 1 --settings 'SOFTWARE\Kavo\QuillonFlashCheck-board-1' \
    --clock virtual flash "$(winpath "$work/image1.bin")" >"$work/board1.txt" 2>&1 ||
    { cat "$work/board1.txt"; exit 1; }
grep -q 'Auto Flash ---> OK !' "$work/board1.txt"
cmp -n 262144 "$work/image1.bin" "$work/flash/board1/external.bin"
cmp "$work/board0-before.bin" "$work/flash/external.bin"
echo "VESSA_SIM_BOARDS=2: board 1's memory holds its image, board 0's is unchanged"
status=0
VESSA_SIM_BOARDS=2 VESSA_SIM_SCENARIO=$(winpath "$(realpath "$scenario")") \
    wine "$bin/quillon-cli.exe" --board 2 --settings 'SOFTWARE\Kavo\QuillonFlashCheck-board-2' \
    --clock virtual flash "$(winpath "$work/image1.bin")" >"$work/board2.txt" 2>&1 || status=$?
[ "$status" = 69 ] || { echo "board 2 of two gave status $status:"; cat "$work/board2.txt"; exit 1; }
echo "VESSA_SIM_BOARDS=2: board 2 is not there (exit 69)"
