#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (run as root).
# Safe to run again: it only installs what is missing.
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail

need_pkgs=(mingw-w64 libz-mingw-w64-dev wine wine64 wine32:i386 xvfb xauth
           cmake make googletest python3 python3-pefile liblnk-utils
           binutils-mingw-w64 bzip2 dpkg-dev x11-utils
           python3-jsonschema python3-yaml osslsigncode openssl 7zip
           softhsm2 libengine-pkcs11-openssl)

missing=()
for p in "${need_pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/pictarn-deb-src.sources
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi
if [ ! -f "$src_list" ]; then
    # liblzma's sources come from Debian's xz-utils source package
    cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
    export DEBIAN_FRONTEND=noninteractive
    # A mirror half-way through a sync fails one index (seen: bookworm-security's i386 list);
    # the install below still finds everything in the release's own suite.
    apt-get update -qq || echo "tools/install-deps.sh: some package lists failed to download; going on" >&2
    if [ ${#missing[@]} -gt 0 ]; then
        # Without one architecture's security list, amd64 and i386 candidates differ in version;
        # the release's own suite has both at one version.
        apt-get install -y -qq --no-install-recommends "${missing[@]}" \
            || apt-get install -y -qq --no-install-recommends -t bookworm "${missing[@]}"
    fi
fi

# Wine's 32-bit loader is an i386 Linux program. Where the kernel runs no 32-bit code
# (ia32 emulation off), qemu-user runs it; bookworm's qemu 7.2 needs a minute per process
# there (Wine's address-space reservation), the backported qemu 10 a fraction of a second.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    bp_list=/etc/apt/sources.list.d/pictarn-backports.sources
    if [ ! -f "$bp_list" ]; then
        cat > "$bp_list" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        apt-get update -qq || echo "tools/install-deps.sh: some package lists failed to download; going on" >&2
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    # 'F' opens the interpreter now, so a later upgrade of qemu needs this entry made anew
    [ -e "$binfmt/qemu-i386" ] && echo -1 > "$binfmt/qemu-i386"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' > "$binfmt/register"
    /usr/lib/wine/wine --version >/dev/null
fi
exit 0
