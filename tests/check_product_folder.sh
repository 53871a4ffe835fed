#!/usr/bin/env bash
# Packs a small product folder with make_payload.py --product-dir and checks the zip: the same
# bytes twice, the entries in order with their kinds and dates, our uninstaller in place of the
# folder's, the entry list without compiled programs, and each refusal once. Then builds a whole
# deliverable from the folder, installs it under Wine and removes it again.
# Usage: check_product_folder.sh <build folder of one arch> x64|x86   (WINEPREFIX set)
set -euo pipefail
build=$(cd "$1" && pwd)
arch=$2
make_payload=$(cd "$(dirname "$0")/.." && pwd)/tools/payload/make_payload.py
bin=$build/tools/payload/bin
if [[ $arch == x64 ]]; then main=pt_main64.exe other_arch=x86 machine=0x14c
else main=pt_main32.exe other_arch=x64 machine=0x8664; fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cached() { grep "^$1:" "$build/CMakeCache.txt" | cut -d= -f2-; }

good=$tmp/good
mkdir -p "$good/Plugins" "$good/Docs/sub"
cp "$bin/$main" "$good/"
cp "$bin/Icons.dll" "$good/Plugins/"
printf 'notes\r\n' >"$good/Notes.txt"
touch -d '2023-03-04 05:06:08 UTC' "$good/Notes.txt"
printf 'guide\r\n' >"$good/Docs/sub/guide.txt"
printf 'effects\r\n' >"$good/Plugins/effects.txt"
printf 'not ours\r\n' >"$good/pt_uninstall.exe"
# Whatever the setup's shortcuts lead to, transcribed from the shortcut list.
for file in pt_about.txt pt_changes.txt pt_options.txt pt_plugins.txt pt_languages.txt pt_main32.chm; do
    printf '%s\r\n' "$file" >"$good/$file"
done

pack() {  # pack <folder> <out> [more arguments]: make_payload.py's output and exit code
    local dir=$1 out=$2; shift 2
    python3 "$make_payload" --arch "$arch" --bin-dir "$bin" --out "$out" --product-dir "$dir" "$@" 2>&1
}
pack "$good" "$tmp/one.zip" >/dev/null || fail "packing the good folder: $(pack "$good" "$tmp/one.zip")"
pack "$good" "$tmp/two.zip" >/dev/null || fail "packing the good folder again"
cmp -s "$tmp/one.zip" "$tmp/two.zip" || fail "two packs of the same folder differ"

python3 - "$tmp/one.zip" "$bin/pt_uninstall.exe" "$main" "$(dirname "$make_payload")" <<'PY' || fail "zip contents"
import sys, zipfile
zip_path, uninstaller, main, tools = sys.argv[1:]
sys.path.insert(0, tools)
from payload_zip import entry_data
expected = ["Notes.txt", "pt_about.txt", "pt_changes.txt", "pt_languages.txt", "pt_main32.chm", main,
            "pt_options.txt", "pt_plugins.txt", "pt_uninstall.exe", "Docs/", "Docs/sub/", "Docs/sub/guide.txt",
            "Plugins/", "Plugins/effects.txt", "Plugins/Icons.dll"]
with zipfile.ZipFile(zip_path) as z:
    infos = z.infolist()
    names = [i.filename for i in infos]
    assert names == expected, names
    for i in infos:
        folder = i.filename.endswith("/")
        # Folders stored; files .xz (95), or stored where packing would make them larger.
        assert i.compress_type == 0 if folder else i.compress_type in (0, 95), i
        assert not i.flag_bits & 0x800, f"{i.filename}: UTF-8 flag"
    assert z.getinfo("Notes.txt").date_time == (2023, 3, 4, 5, 6, 8), z.getinfo("Notes.txt").date_time
    data = open(zip_path, "rb").read()
    assert z.getinfo("pt_uninstall.exe").compress_type == 95, "a program is not packed"
    assert entry_data(data, z.getinfo("pt_uninstall.exe")) == open(uninstaller, "rb").read(), "the uninstaller is not ours"
    for i in infos:
        entry_data(data, i)  # every entry unpacks to its size and CRC-32
PY

# Dated in UTC: the build machine's time zone changes nothing; a pinned date dates every entry.
for zone in Asia/Tokyo America/New_York; do
    TZ=$zone pack "$good" "$tmp/zone.zip" >/dev/null && cmp -s "$tmp/one.zip" "$tmp/zone.zip" \
        || fail "packed with TZ=$zone, the payload differs"
done
pack "$good" "$tmp/pinned.zip" --pin-date 2024-01-02T03:04:06 >/dev/null || fail "packing with a pinned date"
python3 -c 'import sys, zipfile; d = {i.date_time for i in zipfile.ZipFile(sys.argv[1]).infolist()}; assert d == {(2024, 1, 2, 3, 4, 6)}, d' \
    "$tmp/pinned.zip" || fail "a pinned date is not every entry's date"

# Without the folder's own uninstaller, ours joins the top-level files.
mkdir "$tmp/nobin" && cp -a "$good" "$tmp/lean" && rm "$tmp/lean/pt_uninstall.exe"
pack "$tmp/lean" "$tmp/lean.zip" >/dev/null || fail "packing without an uninstaller"
python3 -c 'import sys, zipfile; n = zipfile.ZipFile(sys.argv[1]).namelist(); assert n[8] == "pt_uninstall.exe", n' \
    "$tmp/lean.zip" || fail "our uninstaller is not added at the top level"
# The entry list needs no compiled program of ours; each file's row carries its size and SHA-256.
python3 "$make_payload" --arch "$arch" --bin-dir "$tmp/nobin" --out "$tmp/entries.inc" --product-dir "$good" \
    --entry-list || fail "entry list without compiled programs"
guide_row="{L\"Docs\\\\sub\\\\guide.txt\", false, $(stat -c %s "$good/Docs/sub/guide.txt"), \"$(sha256sum < "$good/Docs/sub/guide.txt" | cut -d' ' -f1 | sed 's/../\\x&/g')\"},"
grep -qF "$guide_row" "$tmp/entries.inc" || fail "entry list rows (no $guide_row): $(cat "$tmp/entries.inc")"
grep -qF '{L"Docs\\sub", true, 0, nullptr},' "$tmp/entries.inc" || fail "entry list folder row"

refused() {  # refused <what> <name in message> <command to spoil the copy>
    local what=$1 name=$2 bad=$tmp/bad out rc=0; shift 2
    rm -rf "$bad" && cp -a "$good" "$bad"
    (cd "$bad" && eval "$*") || fail "$what: could not spoil the copy"
    out=$(pack "$bad" "$tmp/bad.zip") || rc=$?
    if [[ $rc == 0 ]]; then fail "$what: packed"
    elif [[ $out != *"$name"* ]]; then fail "$what: message does not name $name: $out"
    else echo "refused, $what: $out"; fi
}
refused "no main program" "$main" "rm $main"
# Every problem of a folder in one run: two missing linked files, a program of the other build,
rc=0; rm -rf "$tmp/bad" && cp -a "$good" "$tmp/bad" && rm "$tmp/bad/Plugins/Icons.dll" "$tmp/bad/pt_options.txt"
python3 -c 'import struct,sys; sys.stdout.buffer.write(b"MZ" + bytes(58) + struct.pack("<I", 64) + b"PE\0\0" + struct.pack("<H", int(sys.argv[1], 16)) + bytes(250))' \
    "$machine" >"$tmp/bad/$main"
cp "$tmp/bad/$main" "$tmp/bad/Plugins/Other.dll"  # a plug-in of the other machine, too
# And every name Windows cannot hold, the trailing blank's among them.
bad_names=(nul.txt Plugins/com1.dll trail. 'blank ' 'a*b.txt' 'q?.txt' 'lt<.txt' 'quote".txt' 'pipe|.txt' 'a:b.txt'
           readme.txt "$(printf 'Docs/%0190d' 0)")
for name in "${bad_names[@]}"; do touch "$tmp/bad/$name"; done
touch "$tmp/bad/README.TXT"  # named first, so readme.txt is the one that clashes
out=$(pack "$tmp/bad" "$tmp/bad.zip") || rc=$?
named() {
    [[ $1 == *Plugins/Icons.dll:\ missing* && $1 == *pt_options.txt:\ missing* && $1 == *"$main: a program for $other_arch"* &&
       $1 == *"Plugins/Other.dll: a program for $other_arch"* ]] || return 1
    local name
    for name in "${bad_names[@]}"; do [[ $1 == *"$tmp/bad/$name: "* ]] || { echo "not named: $name" >&2; return 1; }; done
}
[[ $rc != 0 ]] && named "$out" || fail "a folder with three problems: exit $rc: $out"
# Configuring a build from it names them too, before anything is built.
rc=0; out=$(cmake -S "$(dirname "$make_payload")/../.." -B "$tmp/badtree" -DCMAKE_TOOLCHAIN_FILE="$(cached CMAKE_TOOLCHAIN_FILE)" \
    -DPT_LIBLZMA_DIR="$(cached PT_LIBLZMA_DIR)" -DPT_PRODUCT_DIR="$tmp/bad" 2>&1) || rc=$?
[[ $rc != 0 ]] && named "$out" || fail "configuring from a folder with three problems: exit $rc: $out"
refused "non-ASCII name" "Plugins/caf" "touch Plugins/caf$'\\xc3\\xa9'.txt"
refused "symbolic link" "link.txt" "ln -s Notes.txt Plugins/link.txt"
refused "empty folder" "Docs/Empty" "mkdir Docs/Empty"

# A release build (here: a signing key given) without product folders is refused, naming both, and
# leaves no deliverable of an earlier build in its dist folder.
mkdir -p "$tmp/dist" && echo earlier >"$tmp/dist/pt_setup64.exe" && echo earlier >"$tmp/dist/pt_setup32.exe"
rc=0; out=$(PT_SIGN_PKCS12=$tmp/key.p12 PT_PRODUCT_DIR_X64= PT_PRODUCT_DIR_X86= \
    "$(dirname "$make_payload")/../build.sh" "$tmp/release" "$tmp/dist" 2>&1) || rc=$?
[[ $rc != 0 && $out == *PT_PRODUCT_DIR_X64*PT_PRODUCT_DIR_X86* ]] || fail "a release build of the stand-in: exit $rc: $out"
[[ -z $(ls -A "$tmp/dist") ]] || fail "a refused build left $(ls "$tmp/dist") in its dist folder"
# This build's folder named for both builds, as when the two are swapped: refused before anything
# is compiled, with the hint.
rc=0; out=$(PT_PRODUCT_DIR_X64=$good PT_PRODUCT_DIR_X86=$good "$(dirname "$make_payload")/../build.sh" "$tmp/swapped" \
    "$tmp/dist" 2>&1) || rc=$?
[[ $rc != 0 && $out == *"$main"*"product folders swapped?"* && ! -d $tmp/swapped/x64 ]] \
    || fail "one folder for both builds: exit $rc: $out"

# PT_VERSION names the version whatever the folder's program says: configured alone, it is the
# version the programs are built with.
if cmake -S "$(dirname "$make_payload")/../.." -B "$tmp/override" -DCMAKE_TOOLCHAIN_FILE="$(cached CMAKE_TOOLCHAIN_FILE)" \
        -DPT_LIBLZMA_DIR="$(cached PT_LIBLZMA_DIR)" -DPT_PRODUCT_DIR="$good" -DPT_VERSION=10.12 >/dev/null 2>&1; then
    grep -q '^#define PT_VERSION_MAJOR 10$' "$tmp/override/generated/product_version.h" \
        && grep -q '^#define PT_VERSION_MINOR 12$' "$tmp/override/generated/product_version.h" \
        || fail "PT_VERSION=10.12: $(cat "$tmp/override/generated/product_version.h")"
else
    fail "configuring with PT_VERSION=10.12"
fi

# The folder's main program says 5.0.7.3 (x64) or 10.12.7.3 (x86): the deliverable built from it
# carries that version, and its own file version keeps all four numbers.
version=5.0; [[ $arch == x86 ]] && version=10.12
/usr/bin/python3 - "$good/$main" "$version" <<'PY' || fail "setting the main program's version to $version"
import sys, pefile
pe = pefile.PE(sys.argv[1])
for fixed in pe.VS_FIXEDFILEINFO:
    major, minor = map(int, sys.argv[2].split("."))
    fixed.FileVersionMS = fixed.ProductVersionMS = (major << 16) | minor
    fixed.FileVersionLS = fixed.ProductVersionLS = (7 << 16) | 3
pe.write(sys.argv[1])
PY

# A whole deliverable from the folder: built in a tree of its own, installed, removed again.
tree=$tmp/tree
bits=${main//[^0-9]/}
wine=/usr/lib/wine/wine64; [[ $arch == x86 ]] && wine=/usr/lib/wine/wine
# The release notes must name the version built.
notes=$(dirname "$make_payload")/../../res/release_notes.txt
! python3 "$(dirname "$make_payload")/../utf16_text.py" "$notes" "$tmp/notes.utf16" --version "$version" 2>/dev/null \
    || fail "the 4.58 notes were taken for a $version build"
# Notes with a byte-order mark keep one; notes not in UTF-8 are named, without a traceback.
utf16=$(dirname "$make_payload")/../utf16_text.py
printf '\xef\xbb\xbfPictarn %s - what is new\n' "$version" >"$tmp/bom.txt"
python3 "$utf16" "$tmp/bom.txt" "$tmp/bom.utf16" --version "$version" \
    && [[ $(head -c 4 "$tmp/bom.utf16" | od -An -tx1 | tr -d ' ') == fffe5000 ]] || fail "notes with a byte-order mark"
printf 'Pictarn %s - caf\xe9\n' "$version" >"$tmp/latin1.txt"
said=$(python3 "$utf16" "$tmp/latin1.txt" "$tmp/latin1.utf16" 2>&1) && fail "Latin-1 notes taken"
[[ $said == *"not UTF-8"* && $said != *Traceback* ]] || fail "Latin-1 notes: $said"
printf 'Pictarn %s - what is new\n- One thing.\n' "$version" >"$tmp/notes.txt"
if cmake -S "$(dirname "$make_payload")/../.." -B "$tree" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$(cached CMAKE_TOOLCHAIN_FILE)" -DPT_LIBLZMA_DIR="$(cached PT_LIBLZMA_DIR)" \
        -DPT_PRODUCT_DIR="$good" -DPT_RELEASE_NOTES="$tmp/notes.txt" >/dev/null 2>&1 \
        && cmake --build "$tree" --target pt_setup -j2 >/dev/null 2>&1; then
    [[ $(/usr/bin/python3 "$(dirname "$make_payload")/product_version.py" "$tree/pt_setup$bits.exe" --four) == "$version.7.3" ]] \
        || fail "the setup's file version is not $version.7.3"
    # No text of either program still names the stand-in's version.
    for program in "$tree/pt_setup$bits.exe" "$tree/tools/payload/bin/pt_uninstall.exe"; do
        python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); sys.exit(b"4.58" in d or "4.58".encode("utf-16-le") in d)' \
            "$program" || fail "$(basename "$program") still names 4.58"
    done
    PT_WIZARD_SETUP="Z:${tree//\//\\}\\pt_setup$bits.exe" PT_WIZARD_VERSION=$version timeout 120 "$wine" "$build/pt_tests$bits.exe" \
        --gtest_filter=Wizard.WelcomePageValuesChoicesAndFolderChecks >"$tmp/welcome.txt" 2>&1 \
        && grep -q "PASSED  ] 1 test" "$tmp/welcome.txt" || fail "the $version setup's Welcome page: $(grep -A3 Failure "$tmp/welcome.txt")"
    installed=$WINEPREFIX/drive_c/PictarnFromFolder
    rc=0; WINEDLLOVERRIDES=winemenubuilder.exe=d timeout 120 "$wine" "$tree/pt_setup$bits.exe" /silent \
        '/folder=C:\PictarnFromFolder' /ini= /group=1 >/dev/null 2>&1 || rc=$?
    [[ $rc == 0 ]] || fail "installing the deliverable built from the folder: exit $rc"
    entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Pictarn'; [[ $arch == x64 ]] && entry+=64
    value() { "$wine" reg query "$entry" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {print $3, $4, $5}'; }
    [[ $(value DisplayVersion) == "$version  " && $(value DisplayName) == "Pictarn $version (${bits}-bit)" ]] \
        || fail "the uninstall entry carries $(value DisplayName) / $(value DisplayVersion), not $version"
    programs=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Pictarn' -type d | head -n 1)
    link="Pictarn $version.lnk"; [[ $arch == x64 ]] && link="Pictarn 64 $version.lnk"
    [[ -f "$programs/$link" ]] || fail "no group shortcut $link: $(ls "$programs" 2>&1 | tr '\n' ' ')"
    # EstimatedSize: the installed files in KiB, give or take the uninstaller's slot.
    size=$(( $(value EstimatedSize | cut -d' ' -f1) ))
    files=$(find "$WINEPREFIX/drive_c/PictarnFromFolder" -type f ! -name '*.ini' -printf '%s\n' | awk '{s += $1} END {print s}')
    (( size * 1024 >= files && size * 1024 < files + 200 * 1024 )) \
        || fail "EstimatedSize $size KiB for $files installed bytes"
    for file in Notes.txt "$main" Docs/sub/guide.txt Plugins/Icons.dll Plugins/effects.txt; do
        cmp -s "$good/$file" "$installed/$file" || fail "installed $file differs from the folder's"
    done
    cmp -s "$tree/tools/payload/bin/pt_uninstall.exe" "$installed/pt_uninstall.exe" || fail "the installed uninstaller is not ours"
    rc=0; timeout 120 "$wine" 'C:\PictarnFromFolder\pt_uninstall.exe' /silent /purge >/dev/null 2>&1 || rc=$?
    [[ $rc == 0 && ! -e $installed ]] || fail "removing the installation made from the folder: exit $rc"
    rm -rf "$installed"
    echo "built from the folder, installed and removed"
else
    fail "building a deliverable from the folder"
fi

[[ $failures == 0 ]] && echo "product folder checks passed ($arch)" || { echo "$failures failure(s)"; exit 1; }
