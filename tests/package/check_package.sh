#!/usr/bin/env bash
# Checks a built Debian package: its file list (dpkg-deb -c) holds the installed layout, and
# the programs run from a scratch root (dpkg -x, no installation): --help of each program and,
# when quillon-cli is packaged, a `flash` against the packaged vessa-sim.
# usage: tests/package/check_package.sh quillon_<version>_<arch>.deb
set -euo pipefail
deb=$1
status=0
fail() { echo "check_package: $*" >&2; status=1; }

listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
arch_lib=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
expected=(
    /usr/bin/quillon
    /usr/bin/quillon-cli
    /usr/bin/vessa-sim
    "/usr/lib/$arch_lib/quillon/libKavoVessadll.so"
    /usr/share/quillon/INI/FlashROM_Index.ini
    /usr/share/quillon/INI/Kavo_Flash_TypeAuto.ini
    /usr/share/quillon/INI/Version.ini
    /usr/share/quillon/scenarios/default.ini
    /usr/share/applications/quillon.desktop
    /usr/share/metainfo/io.github.kavo.quillon.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/quillon.svg
    /usr/share/man/man1/quillon.1.gz
    /usr/share/man/man1/quillon-cli.1.gz
    /usr/share/man/man1/vessa-sim.1.gz
    /usr/share/doc/quillon/copyright
    /usr/share/doc/quillon/changelog.gz
)
for file in "${expected[@]}"; do
    grep -qxF "$file" <<<"$listing" || fail "missing $file"
done
# Nothing outside /usr, and nothing of the build tree.
if grep -vE '^/usr(/|$)|^/$' <<<"$listing" | grep -q .; then
    fail "files outside /usr: $(grep -vE '^/usr(/|$)|^/$' <<<"$listing" | head -n 3 | tr '\n' ' ')"
fi
grep -qE '/(tests?|bench)/|/test_|/bench_' <<<"$listing" && fail "test or benchmark files packaged"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
export XDG_RUNTIME_DIR="$root/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
for program in quillon quillon-cli vessa-sim; do
    [ -x "$root/usr/bin/$program" ] || continue
    "$root/usr/bin/$program" --help >/dev/null || fail "$program --help failed"
done

if [ -x "$root/usr/bin/quillon-cli" ]; then
    socket="$root/run/vessa-sim.sock"
    "$root/usr/bin/vessa-sim" serve --scenario "$root/usr/share/quillon/scenarios/default.ini" \
        --socket "$socket" --state "$root/sim-state" 2>"$root/sim.log" &
    sim=$!
    for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
    head -c 65536 /dev/urandom >"$root/image.bin"
    if ! VESSA_SIM_SOCKET="$socket" "$root/usr/bin/quillon-cli" --clock virtual \
            flash "$root/image.bin" >"$root/flash.log" 2>&1; then
        fail "quillon-cli flash from the installed tree failed:"
        cat "$root/flash.log" >&2
    fi
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
fi

[ "$status" = 0 ] && echo "check_package: $deb is sound"
exit "$status"
