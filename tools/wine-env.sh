# Sourced by the test and demo scripts: a throwaway Wine prefix with a persistent wineserver
# and an Xvfb display, so that programs start fast and can open windows.

wine_env_start() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES=winemenubuilder.exe=d
    local display=${WINE_ENV_DISPLAY_FROM:-99}
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 "${WINE_ENV_SCREEN:-1280x1024}x24" -nolisten tcp >/dev/null 2>&1 &
    WINE_ENV_XVFB=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

    # A wineserver left over from an earlier run of this prefix would serve the new one badly.
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wineserver -p
    # Services started here, not from a test, so no test's output pipe stays open.
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null
    # The first boot of a new prefix leaves its service database locked (two service managers
    # overlap), so no COM server of another process could start, the desktop's shell among them.
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    # Windows has one Default Programs list for both registry views (a key WOW64 shares); a fresh
    # prefix lacks it, and Wine would keep one per view: the 32-bit view's is made a link to it.
    # Written while no wineserver runs, as are the drive types Wine reads when it starts.
    python3 - "$WINEPREFIX/system.reg" <<'PYTHON'
import sys
target = "\\REGISTRY\\Machine\\Software\\RegisteredApplications".encode("utf-16-le")
with open(sys.argv[1], "a") as reg:
    reg.write("\n[Software\\\\RegisteredApplications] 0\n")
    reg.write("\n[Software\\\\Wow6432Node\\\\RegisteredApplications] 0\n#link\n")
    reg.write('"SymbolicLinkValue"=hex(6):' + ",".join("%02x" % b for b in target) + "\n")
    reg.write('\n[Software\\\\Wine\\\\Drives] 0\n"n:"="network"\n')
PYTHON
    # Drive N: is a network share as Windows reports one (a folder Wine is told is remote).
    WINE_ENV_NETWORK_SHARE=$WINEPREFIX.network-share
    rm -rf "$WINE_ENV_NETWORK_SHARE"
    mkdir -p "$WINE_ENV_NETWORK_SHARE"
    ln -sfn "$WINE_ENV_NETWORK_SHARE" "$WINEPREFIX/dosdevices/n:"
    /usr/lib/wine/wineserver -p
    /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null
    # The prefix reports Windows 10, as the machines the setup meets do; a test that needs another
    # Windows sets it for its program alone (AppDefaults).
    /usr/lib/wine/wine64 winecfg -v win10 >/dev/null 2>&1 </dev/null
    # A fresh prefix links Desktop, Documents and the like to the Linux home folder; the
    # shortcuts the setup saves must stay inside the prefix.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm "$link"; mkdir "$link"; fi
    done
    # Drive T: is a 2 MB disk, for installs that run out of space (where mounting is allowed).
    WINE_ENV_SMALL_DISK=$WINEPREFIX.small-disk
    mkdir -p "$WINE_ENV_SMALL_DISK"
    if mount -t tmpfs -o size=2m tmpfs "$WINE_ENV_SMALL_DISK" 2>/dev/null; then
        ln -sfn "$WINE_ENV_SMALL_DISK" "$WINEPREFIX/dosdevices/t:"
    fi
    # Drive R: cannot be written to at all, for folders on a read-only drive.
    WINE_ENV_READ_ONLY_DISK=$WINEPREFIX.read-only-disk
    mkdir -p "$WINE_ENV_READ_ONLY_DISK"
    if mount -t tmpfs -o size=1m,ro tmpfs "$WINE_ENV_READ_ONLY_DISK" 2>/dev/null; then
        ln -sfn "$WINE_ENV_READ_ONLY_DISK" "$WINEPREFIX/dosdevices/r:"
    fi
}

wine_env_stop() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
    [ -n "${WINE_ENV_SMALL_DISK:-}" ] && umount "$WINE_ENV_SMALL_DISK" 2>/dev/null || true
    [ -n "${WINE_ENV_READ_ONLY_DISK:-}" ] && umount "$WINE_ENV_READ_ONLY_DISK" 2>/dev/null || true
    [ -n "${WINE_ENV_XVFB:-}" ] && kill "$WINE_ENV_XVFB" 2>/dev/null || true
}
