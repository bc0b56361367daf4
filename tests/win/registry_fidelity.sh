#!/usr/bin/env bash
# The settings in the registry, checked against Wine's own registry editor:
# 1. after a run, quillon-cli's export-reg and `regedit /E` of the key hold the same values,
#    value by value and type by type;
# 2. import-reg of a file stores what `regedit /S` of the same file stores.
# Usage: registry_fidelity.sh BIN_DIR   (WINEPREFIX names a scratch Wine prefix)
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
key='SOFTWARE\Kavo\Vessa_Quillon'
cli() { wine "$bin/quillon-cli.exe" --clock virtual "$@" >>"$work/cli.log" 2>&1; }
winpath() { echo "Z:${1//\//\\}"; }

wine reg delete "HKEY_CURRENT_USER\\$key" /f >/dev/null 2>&1 || true
wine reg delete "HKEY_LOCAL_MACHINE\\$key" /f >/dev/null 2>&1 || true

# A run: the start-up load creates every default; then values of every kind.
cli tick set 'LastFilePath=C:\img\a.bin' set 'ConnectMode=3' \
    set 'ExtraECChipID=01 ff 00 7e' set 'LastFlashID1=Quote " and = sign'
cli export-reg "$(winpath "$work/ours.reg")"
wine regedit /E "$(winpath "$work/wine.reg")" "HKEY_CURRENT_USER\\$key"
echo "export-reg against regedit /E:"
python3 "$here/reg_values.py" "$work/ours.reg" "$work/wine.reg"

# The same file imported both ways: ours into the settings key, Wine's regedit into the
# key the file names.
printf '%s\r\n' 'REGEDIT4' '' "[HKEY_LOCAL_MACHINE\\$key]" \
    '"Flashblock"=dword:00000020' '"AssignedAddress"="1E000"' \
    '"LastFilePath"="D:\\images\\unit \"7\".bin"' \
    '"ExtraECChipID"=hex:de,ad,be,\' '  ef,00' '"Key3"=dword:ffffffff' \
    '"SectorOffset"=""' >"$work/import.reg"
cli import-reg "$(winpath "$work/import.reg")"
wine regedit /S "$(winpath "$work/import.reg")"
wine regedit /E "$(winpath "$work/ours-imported.reg")" "HKEY_CURRENT_USER\\$key"
wine regedit /E "$(winpath "$work/wine-imported.reg")" "HKEY_LOCAL_MACHINE\\$key"
echo "import-reg against regedit /S:"
python3 "$here/reg_values.py" "$work/wine-imported.reg" "$work/ours-imported.reg" \
    Flashblock AssignedAddress LastFilePath ExtraECChipID Key3 SectorOffset

# 3. The registry editor recreates the program's own store from our export, text in the
# system's ANSI code page included, and a store an earlier installation left under the
# machine's root is taken over when the user has none.
wine reg delete "HKEY_CURRENT_USER\\$key" /f >/dev/null 2>&1 || true
cli set 'LastFlashID1=M'$'\xc3\xbc''ller' set 'ConnectMode=2'
cli export-reg "$(winpath "$work/round.reg")"
grep -q '^\[HKEY_CURRENT_USER\\SOFTWARE\\Kavo\\Vessa_Quillon\]' "$work/round.reg" ||
    { echo "export-reg does not name the user's key"; exit 1; }
if grep -q $'\xc3\xbc' "$work/round.reg"; then
    echo "export-reg wrote UTF-8, not the ANSI code page"
    exit 1
fi
wine reg delete "HKEY_CURRENT_USER\\$key" /f >/dev/null 2>&1
wine regedit /S "$(winpath "$work/round.reg")"
got=$(wine "$bin/quillon-cli.exe" get LastFlashID1 2>/dev/null | tr -d '\r')
[ "$got" = 'M'$'\xc3\xbc''ller' ] || { echo "after regedit /S: LastFlashID1 is '$got'"; exit 1; }
echo "regedit /S of export-reg recreates the store: ok"
wine reg delete "HKEY_CURRENT_USER\\$key" /f >/dev/null 2>&1
cli import-reg "$(winpath "$work/round.reg")"
got=$(wine "$bin/quillon-cli.exe" get LastFlashID1 2>/dev/null | tr -d '\r')
[ "$got" = 'M'$'\xc3\xbc''ller' ] || { echo "after import-reg: LastFlashID1 is '$got'"; exit 1; }
echo "import-reg reads the code page's text: ok"

wine reg delete "HKEY_CURRENT_USER\\$key" /f >/dev/null 2>&1
wine reg add "HKEY_LOCAL_MACHINE\\$key" /v ConnectMode /t REG_DWORD /d 3 /f >/dev/null 2>&1
got=$(wine "$bin/quillon-cli.exe" get ConnectMode 2>/dev/null | tr -d '\r')
[ "$got" = 3 ] || { echo "the machine's store was not taken over: ConnectMode is '$got'"; exit 1; }
echo "a store under HKEY_LOCAL_MACHINE is taken over: ok"
