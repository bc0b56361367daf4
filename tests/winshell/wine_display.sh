# Sourced by the scripts that show the Windows window under Wine (the installer check and
# bench/windows_window.sh).
#
# wine_display FIRST: starts an Xvfb display numbered from FIRST (to FIRST+99), exports
# DISPLAY, sets xvfb_pid, and ends the running Wine session: a session takes its graphics
# driver when it starts, so the next one starts on this display.
wine_display() {
    export DISPLAY=:$(($1 + RANDOM % 100))
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# A Linux path as Wine names it.
winpath() { echo "Z:${1//\//\\}"; }
