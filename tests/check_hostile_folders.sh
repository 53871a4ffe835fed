#!/usr/bin/env bash
# Installation folders a user prepared: links (Unix symbolic links in the prefix, which Wine shows
# to programs as reparse points, as NTFS shows a junction) at the folder itself, at a level above
# it and at a folder inside it; a drive's root, the Windows folder and a path with "..". Each is
# refused before anything is written behind the link, or installed at the folded path.
# Usage: check_hostile_folders.sh <build folder of one architecture> x64|x86   (WINEPREFIX set)
set -uo pipefail
build=$(cd "$1" && pwd)
arch=$2
wine=/usr/lib/wine/wine64; bits=64
[ "$arch" = x86 ] && { wine=/usr/lib/wine/wine; bits=32; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pictarn'; [ "$arch" = x64 ] && key=${key}64
drive=$WINEPREFIX/drive_c
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

run() {  # run <expected exit code> <folder> [switch…]: the silent setup from a start folder of its own
    local expected=$1 folder=$2 rc=0; shift 2
    rm -f "$work/Pictarn_Install.log"
    (cd "$work" && WINEDLLOVERRIDES=winemenubuilder.exe=d timeout 120 "$wine" "$build/pt_setup$bits.exe" /silent \
        "/folder=$folder" /group=1 "$@" >/dev/null 2>&1) || rc=$?
    [ "$rc" = "$expected" ] || fail "/folder=$folder: exit $rc, expected $expected: $(cat "$work/Pictarn_Install.log" 2>/dev/null)"
    echo "/folder=$folder: exit $rc"
}
empty() {  # empty <folder> <what>: nothing was written there
    [ -z "$(ls -A "$1")" ] || fail "$2: written behind the link: $(ls -A "$1" | head -3 | tr '\n' ' ')"
}
logs() {  # logs <text>: the last run's log says it
    grep -qF "$1" "$work/Pictarn_Install.log" 2>/dev/null || fail "the log lacks \"$1\": $(cat "$work/Pictarn_Install.log" 2>/dev/null)"
}

target=$drive/windows/temp/ptlink-$arch
rm -rf "$target" "$drive/PtJunc-$arch" "$drive/PtApps-$arch" "$drive/PtPre-$arch"
mkdir -p "$target/a" "$target/b" "$target/c" "$drive/PtPre-$arch"
ln -s "$target/a" "$drive/PtJunc-$arch"
ln -s "$target/b" "$drive/PtApps-$arch"
ln -s "$target/c" "$drive/PtPre-$arch/Plugins"

# The folder itself a link, and a level above it: refused, nothing written there.
run 3 "C:\\PtJunc-$arch"; empty "$target/a" "the folder a link"; logs "reached through a link"; logs "C:\\PtJunc-$arch"
run 3 "C:\\PtApps-$arch\\Pictarn"; empty "$target/b" "a level above a link"; logs "C:\\PtApps-$arch"
# A folder inside the installation a link: the update is refused whole, no product file anywhere.
run 5 "C:\\PtPre-$arch"; empty "$target/c" "Plugins a link"; logs "C:\\PtPre-$arch\\Plugins\\"
[ -e "$drive/PtPre-$arch/pt_main$bits.exe" ] && fail "a link at Plugins: the rest was unpacked"
# A drive's root and the Windows folder are no installation's; ".." is folded before anything.
run 3 'C:\'; logs "a drive's root or the Windows folder"
run 3 'C:\windows\Pictarn'; [ -e "$drive/windows/Pictarn" ] && fail "made a folder in the Windows folder"
run 0 "C:\\Program Files\\..\\PtDotDot-$arch"
location=$("$wine" reg query "$key" /v InstallLocation 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[ "$location" = "C:\\PtDotDot-$arch\\" ] || fail "\"..\" registered as \"$location\""
"$wine" "C:\\PtDotDot-$arch\\pt_uninstall.exe" /silent >/dev/null 2>&1 || fail "removing C:\\PtDotDot-$arch"

# A settings folder reached through a link is no usable folder: the settings stay in the
# installation folder, the log says so, and nothing is written behind the link.
mkdir -p "$target/e"; ln -s "$target/e" "$drive/PtLinkCfg-$arch"
run 0 "C:\\PtLinkIni-$arch" "/ini=C:\\PtLinkCfg-$arch\\Settings"
empty "$target/e" "the settings folder a link"; logs "Can't use the INI file folder!"
[ -e "$drive/PtLinkIni-$arch/pt_main$bits.ini" ] || fail "the settings did not stay in the installation folder"
"$wine" "C:\\PtLinkIni-$arch\\pt_uninstall.exe" /silent /purge >/dev/null 2>&1

# A settings file swapped for a second name of another file the moment the run has read it (a
# racer on the folder's change notices, as a user may run one against a settings folder they own):
# the other file keeps its bytes, as the settings are written as a new file moved over the name.
mkdir -p "$drive/PtRace-$arch/Settings"; printf '[Toolbar]\r\nSkin=Mine.png\r\n' > "$drive/PtRace-$arch/Settings/pt_main$bits.ini"
echo system > "$target/system.txt"
python3 - "$drive/PtRace-$arch/Settings" "pt_main$bits.ini" "$target/system.txt" > "$work/racer.txt" <<'PY' & racer=$!
import ctypes, os, struct, sys
folder, name, other = sys.argv[1], sys.argv[2].encode(), sys.argv[3]
libc = ctypes.CDLL("libc.so.6", use_errno=True)
notices = libc.inotify_init()
libc.inotify_add_watch(notices, folder.encode(), 0x10)  # IN_CLOSE_NOWRITE: the run has read it
swaps = 0
while True:
    data = os.read(notices, 4096)
    at = 0
    while at < len(data):
        _, mask, _, length = struct.unpack_from("iIII", data, at)
        if data[at + 16:at + 16 + length].rstrip(b"\0") == name:
            os.link(other, os.path.join(folder, "swap"))
            os.replace(os.path.join(folder, "swap"), os.path.join(folder, name.decode()))
            swaps += 1
            print(swaps, flush=True)
        at += 16 + length
PY
sleep 0.5
rc=0; (cd "$work" && timeout 120 "$wine" "$build/pt_setup$bits.exe" /silent "/folder=C:\\PtRaceApp-$arch" \
    "/ini=C:\\PtRace-$arch\\Settings" >/dev/null 2>&1) || rc=$?
kill $racer 2>/dev/null; wait $racer 2>/dev/null
echo "the settings file raced: exit $rc, swapped $(tail -1 "$work/racer.txt" 2>/dev/null || echo 0) time(s)"
[ "$(cat "$target/system.txt")" = system ] || fail "the raced settings were written into another file: $(head -c 80 "$target/system.txt")"
"$wine" "C:\\PtRaceApp-$arch\\pt_uninstall.exe" /silent >/dev/null 2>&1

# /purge where a level of the settings folder has become a link since: the file behind it stays,
# and the removal says what it could not do (exit 5).
mkdir -p "$target/d/Settings"; echo foreign > "$target/d/Settings/pt_main$bits.ini"
run 0 "C:\\PtPurge-$arch" "/ini=C:\\PtCfg-$arch\\Settings"
rm -rf "$drive/PtCfg-$arch"; ln -s "$target/d" "$drive/PtCfg-$arch"
rc=0; (cd "$work" && timeout 120 "$wine" "C:\\PtPurge-$arch\\pt_uninstall.exe" /silent /purge >/dev/null 2>&1) || rc=$?
echo "/purge through a link: exit $rc"
[ "$rc" = 5 ] || fail "/purge through a link: exit $rc, expected 5: $(cat "$work/Pictarn_Uninstall.log" 2>/dev/null)"
[ "$(cat "$target/d/Settings/pt_main$bits.ini")" = foreign ] || fail "/purge deleted the file behind the link"
grep -qF "Can't remove: C:\\PtCfg-$arch" "$work/Pictarn_Uninstall.log" 2>/dev/null || fail "the removal's log lacks the link"

rm -rf "$target" "$drive/PtJunc-$arch" "$drive/PtApps-$arch" "$drive/PtPre-$arch" "$drive/PtDotDot-$arch" \
    "$drive/PtCfg-$arch" "$drive/PtPurge-$arch" "$drive/PtLinkCfg-$arch" "$drive/PtLinkIni-$arch" \
    "$drive/PtRace-$arch" "$drive/PtRaceApp-$arch"
echo "$failures failure(s)"
[ "$failures" = 0 ]
