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
