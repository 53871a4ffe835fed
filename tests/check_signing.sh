#!/usr/bin/env bash
# Signs a copy of the setup program, and the uninstaller in a payload made for the purpose, with
# a throw-away certificate authority and code-signing certificate made here, and checks with osslsigncode (a reader that shares nothing with our
# code) that the signature verifies against that authority, that one changed byte breaks it,
# that a fixed signing time gives the same file twice, and that the signed program still finds
# and unpacks its payload under Wine.
# Usage: check_signing.sh <build folder of one architecture> x64|x86   (WINEPREFIX set)
set -uo pipefail
build=$(cd "$1" && pwd)
arch=$2
root=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64; bits=64
[ "$arch" = x86 ] && { wine=/usr/lib/wine/wine; bits=32; }
work=$build/signing
rm -rf "$work"; mkdir -p "$work"; cd "$work"
failures=0
check() { if "${@:2}" >/dev/null 2>&1; then echo "ok    $1"; else echo "FAIL  $1"; failures=$((failures + 1)); fi; }
refuse() { if "${@:2}" >/dev/null 2>&1; then echo "FAIL  $1"; failures=$((failures + 1)); else echo "ok    $1"; fi; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 -subj "/CN=Pictarn Test Authority" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Zorvan Kettu Test Signing" >/dev/null 2>&1
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' > signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 30 \
    -extfile signer.ext >/dev/null 2>&1
printf 'test-password' > password.txt
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
    -passout file:password.txt >/dev/null 2>&1
check "made a test authority and a code-signing certificate" test -s signer.p12

setup=pt_setup$bits.exe
cp "$build/$setup" first.exe; cp "$build/$setup" second.exe
export PT_SIGN_PKCS12=$work/signer.p12 PT_SIGN_PASSWORD_FILE=$work/password.txt PT_SIGN_TIME=1765152000
check "tools/sign.sh signs" "$root/tools/sign.sh" first.exe second.exe
check "the signature verifies against the test authority" osslsigncode verify -CAfile ca.pem -in first.exe
check "a fixed signing time gives the same file twice" cmp first.exe second.exe
cp "$build/$setup" described.exe
PT_SIGN_DESCRIPTION="Pictarn 9.99 Setup" PT_SIGN_URL=https://example.org/pt "$root/tools/sign.sh" described.exe
described=$(osslsigncode verify -CAfile ca.pem -in described.exe 2>&1)
check "the signer's description and address come from the build settings" test "$(grep -cE \
    '^\s*(Text description: Pictarn 9\.99 Setup|URL description: https://example\.org/pt)$' <<<"$described")" = 2
refuse "the unsigned program has no signature to verify" osslsigncode verify -CAfile ca.pem -in "$build/$setup"
cp first.exe tampered.exe
offset=$(( $(stat -c %s tampered.exe) / 2 ))
printf '\x5a' | dd of=tampered.exe bs=1 seek=$offset conv=notrunc 2>/dev/null
refuse "one changed byte breaks the signature" osslsigncode verify -CAfile ca.pem -in tampered.exe

# A key held in a token (SoftHSM here), reached through its PKCS#11 module, signs alike.
export SOFTHSM2_CONF=$work/softhsm2.conf
rm -rf "$work/tokens" && mkdir -p "$work/tokens" && echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.pk8 && cat signer.pem ca.pem >chain.pem && echo 1234 >pin.txt
softhsm2-util --init-token --free --label pt-test --so-pin 4321 --pin 1234 >/dev/null 2>&1
softhsm2-util --import signer.pk8 --token pt-test --label signer --id 01 --pin 1234 >/dev/null 2>&1
cp "$build/$setup" token.exe
check "a key in a token signs through PKCS#11, and the signature verifies" env PT_SIGN_PKCS12= \
    PT_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so PT_SIGN_KEY="pkcs11:token=pt-test;object=signer;type=private" \
    PT_SIGN_CERTS=chain.pem PT_SIGN_PASSWORD_FILE=pin.txt "$root/tools/sign.sh" token.exe
check "and verifies against the test authority" osslsigncode verify -CAfile ca.pem -in token.exe

# The uninstaller in the payload is signed when the payload is made with a key; the payload keeps
# its entries and total size (the help file gives way to the signature).
python3 "$root/tools/payload/make_payload.py" --arch "$arch" --bin-dir "$build/tools/payload/bin" --out signed.zip
check "the payload is made with the key" test -s signed.zip
python3 - signed.zip "$build/payload/pt_payload.zip" "$root/tools/payload" <<'PY' >/dev/null 2>&1
import sys, zipfile
sys.path.insert(0, sys.argv[3])
from payload_zip import read_entry
signed, unsigned = (zipfile.ZipFile(path) for path in sys.argv[1:3])
open("pt_uninstall.exe", "wb").write(read_entry(open(sys.argv[1], "rb").read(), "pt_uninstall.exe"))
assert [e.filename for e in signed.infolist()] == [e.filename for e in unsigned.infolist()]
assert sum(e.file_size for e in signed.infolist()) == sum(e.file_size for e in unsigned.infolist())
PY
check "the signed payload keeps its entries and total size" test $? -eq 0
check "the uninstaller in the payload verifies against the test authority" \
    osslsigncode verify -CAfile ca.pem -in pt_uninstall.exe

# An elliptic-curve key is refused by name before anything is signed: Smart App Control rejects it.
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ec.key -out ec.csr \
    -subj "/CN=Zorvan Kettu Test EC" >/dev/null 2>&1
openssl x509 -req -in ec.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out ec.pem -days 30 -extfile signer.ext >/dev/null 2>&1
openssl pkcs12 -export -inkey ec.key -in ec.pem -certfile ca.pem -out ec.p12 -passout file:password.txt >/dev/null 2>&1
cp "$build/$setup" ec.exe; cp ec.exe ec-before.exe
ec_said=$(PT_SIGN_PKCS12=$work/ec.p12 "$root/tools/sign.sh" ec.exe 2>&1 >/dev/null)
check "an elliptic-curve key is refused, named, and nothing signed" \
    bash -c '[[ "$1" == *"id-ecPublicKey, not RSA"* ]] && cmp ec.exe ec-before.exe' _ "$ec_said"

# The build's summary tells a timestamped signature from one without (a timestamp authority of
# the test's own, osslsigncode's built-in one, stands in for a server).
openssl req -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj "/CN=Pictarn Test Timestamps" >/dev/null 2>&1
printf 'extendedKeyUsage=critical,timeStamping\nkeyUsage=critical,digitalSignature\n' > tsa.ext
openssl x509 -req -in tsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out tsa.pem -days 30 -extfile tsa.ext >/dev/null 2>&1
cat tsa.pem ca.pem > tsa-chain.pem
osslsigncode sign -pkcs12 signer.p12 -readpass password.txt -h sha256 -TSA-certs tsa-chain.pem -TSA-key tsa.key \
    -in "$build/$setup" -out stamped.exe >/dev/null 2>&1
stamp() { /usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); from build_summary import timestamped
sys.exit(0 if timestamped(open(sys.argv[2], "rb").read()) else 1)' "$root/tools" "$1"; }
check "a timestamped signature is told as such" stamp stamped.exe
refuse "and one without a timestamp is not" stamp first.exe

# A wrong password, or no password file, is named before anything is built or signed.
printf 'not-the-password' > wrong.txt
wrong_said=$(PT_SIGN_PASSWORD_FILE=$work/wrong.txt "$root/tools/sign.sh" --ready 2>&1)
check "a wrong password is named before anything is built" \
    bash -c '[[ "$1" == *"does not open"*signer.p12* ]]' _ "$wrong_said"
missing_said=$(PT_SIGN_PASSWORD_FILE=$work/none.txt "$root/tools/sign.sh" --ready 2>&1)
check "a missing password file is named" bash -c '[[ "$1" == *PT_SIGN_PASSWORD_FILE*none.txt* ]]' _ "$missing_said"

# The deliverables are signed in the build tree: a delivery stopped while it signs (a signing step
# that waits, as for a PIN) leaves nothing in the dist folder; a whole one leaves both, signed.
mkdir -p slow && cat > slow/osslsigncode <<EOF
#!/bin/sh
[ "\$1" = sign ] && { touch "$work/signing-started"; sleep 120; }
exec /usr/bin/osslsigncode "\$@"
EOF
chmod +x slow/osslsigncode
rm -rf delivered signing-started
PATH=$work/slow:$PATH setsid "$root/tools/deliver.sh" "$build/.." "$work/delivered" >/dev/null 2>&1 &
deliverer=$!
for _ in $(seq 200); do [ -e signing-started ] && break; sleep 0.1; done
kill -- -"$deliverer" 2>/dev/null; wait "$deliverer" 2>/dev/null
check "a delivery stopped while signing leaves nothing in the dist folder" \
    bash -c '[ -e signing-started ] && [ -z "$(ls -A delivered 2>/dev/null)" ]'
check "a whole delivery leaves both programs there, signed" bash -c '"$1/tools/deliver.sh" "$2/.." delivered &&
    "$1/tools/sign.sh" --check delivered/pt_setup64.exe delivered/pt_setup32.exe' _ "$root" "$build"

# Every signature is checked as it is made: an unsigned program does not pass for a signed one.
refuse "tools/sign.sh --check refuses the unsigned program" "$root/tools/sign.sh" --check "$build/$setup"

# This unsigned build made again with the key: the payload follows the signing settings, and its
# uninstaller comes out signed. Then back without the key, for what runs after this check.
inner() { python3 "$root/tools/payload/payload_zip.py" "$build/payload/pt_payload.zip" pt_uninstall.exe "$1"; }
"$root/tools/sign.sh" --stamp "$build/signing-settings.txt" && cmake --build "$build" --target pt_payload >/dev/null 2>&1
inner incremental.exe
check "an incremental build with the key signs the uninstaller in the payload" osslsigncode verify -CAfile ca.pem -in incremental.exe
PT_SIGN_PKCS12= "$root/tools/sign.sh" --stamp "$build/signing-settings.txt" && PT_SIGN_PKCS12= cmake --build "$build" --target pt_payload >/dev/null 2>&1
inner unsigned-again.exe
refuse "and without the key again, an unsigned one" osslsigncode verify -CAfile ca.pem -in unsigned-again.exe

# The signed program still finds its payload: a silent install into a folder of its own.
cp first.exe "$setup"
WINEDLLOVERRIDES="winemenubuilder.exe=d" timeout 120 "$wine" "$work/$setup" /silent '/folder=C:\PictarnSigned' /ini= \
    >/dev/null 2>&1
status=$?
check "the signed setup installs (exit $status)" test "$status" -eq 0 -a -f "$WINEPREFIX/drive_c/PictarnSigned/pt_main$bits.exe"
rm -rf "$WINEPREFIX/drive_c/PictarnSigned"
echo "$failures failures"
[ "$failures" -eq 0 ]
