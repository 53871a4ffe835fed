#!/usr/bin/env bash
# Authenticode-signs programs in place with osslsigncode when a signing key is given, and does
# nothing otherwise. The key is either a file:
#   PT_SIGN_PKCS12          the PKCS#12 file with the code-signing key and certificate chain
#   PT_SIGN_PASSWORD_FILE   the file holding its password
# or held in a token or a cloud signing service, reached through its PKCS#11 module:
#   PT_SIGN_PKCS11_MODULE   the module (for example /usr/lib/softhsm/libsofthsm2.so)
#   PT_SIGN_KEY             the key's PKCS#11 URI ("pkcs11:token=…;object=…;type=private")
#   PT_SIGN_CERTS           the certificate chain in PEM, the signer's certificate first
#   PT_SIGN_PASSWORD_FILE   optional here: the file holding the token's PIN
# and for either:
#   PT_SIGN_TIMESTAMP_URL   optional: a timestamp server (a timestamped signature is never reproducible)
#   PT_SIGN_TIME            optional: a fixed signing time in seconds since 1970; without a
#                           timestamp, the same file then gets the same signature every time
#   PT_SIGN_DESCRIPTION     optional: the signed content's description ("Pictarn Setup")
#   PT_SIGN_URL             optional: the signer's web address (https://www.pictarn.com)
# Every signature is checked once made: it verifies, and its signer is the key's own certificate.
# Usage: tools/sign.sh FILE...            sign, then check
#        tools/sign.sh --check FILE...    check only (fails for an unsigned file)
#        tools/sign.sh --given            succeeds when a signing key is given
#        tools/sign.sh --ready            checks that the key opens and is RSA, before anything is built
#        tools/sign.sh --stamp FILE       write the signing settings to FILE when they changed, so
#                                         that what the build signs is made again
source "$(dirname "$0")/usage.sh" "$@"
set -euo pipefail
key_given() { [ -n "${PT_SIGN_PKCS12:-}" ] || [ -n "${PT_SIGN_KEY:-}" ]; }
if [ "${1:-}" = --given ]; then
    key_given
    exit
fi
if [ "${1:-}" = --stamp ]; then
    settings=unsigned
    if [ -n "${PT_SIGN_PKCS12:-}" ]; then
        settings="key $(sha256sum < "$PT_SIGN_PKCS12" | cut -c1-64)"
    elif [ -n "${PT_SIGN_KEY:-}" ]; then
        settings="pkcs11 ${PT_SIGN_PKCS11_MODULE:-} ${PT_SIGN_KEY} certs $(sha256sum < "$PT_SIGN_CERTS" | cut -c1-64)"
    fi
    [ "$settings" = unsigned ] \
        || settings="$settings time ${PT_SIGN_TIME:-} timestamp ${PT_SIGN_TIMESTAMP_URL:-} description ${PT_SIGN_DESCRIPTION:-} url ${PT_SIGN_URL:-}"
    [ "$(cat "$2" 2>/dev/null)" = "$settings" ] || printf '%s\n' "$settings" > "$2"
    exit 0
fi
key_given || exit 0
check_only=false
[ "${1:-}" = --check ] && { check_only=true; shift; }
ready_only=false
[ "${1:-}" = --ready ] && { ready_only=true; shift; }
refuse() { echo "tools/sign.sh: $*" >&2; exit 1; }
keys=$(mktemp -d); trap 'rm -rf "$keys"' EXIT
if [ -n "${PT_SIGN_PKCS12:-}" ]; then
    [ -r "$PT_SIGN_PKCS12" ] || refuse "PT_SIGN_PKCS12: $PT_SIGN_PKCS12 cannot be read"
    [ -n "${PT_SIGN_PASSWORD_FILE:-}" ] && [ -r "$PT_SIGN_PASSWORD_FILE" ] \
        || refuse "PT_SIGN_PASSWORD_FILE: '${PT_SIGN_PASSWORD_FILE:-}' names no readable file with the key's password"
    pass="file:$PT_SIGN_PASSWORD_FILE"
    openssl pkcs12 -in "$PT_SIGN_PKCS12" -passin "$pass" -noout 2>/dev/null \
        || refuse "the password in $PT_SIGN_PASSWORD_FILE does not open $PT_SIGN_PKCS12 (a wrong password, or no PKCS#12 file)"
    openssl pkcs12 -in "$PT_SIGN_PKCS12" -passin "$pass" -nokeys -clcerts -out "$keys/signer.pem" 2>/dev/null
    openssl pkcs12 -in "$PT_SIGN_PKCS12" -passin "$pass" -nokeys -out "$keys/trusted.pem" 2>/dev/null
    key_args=(-pkcs12 "$PT_SIGN_PKCS12" -readpass "$PT_SIGN_PASSWORD_FILE")
else
    [ -r "${PT_SIGN_PKCS11_MODULE:-}" ] || refuse "PT_SIGN_PKCS11_MODULE: '${PT_SIGN_PKCS11_MODULE:-}' names no readable PKCS#11 module"
    [ -r "${PT_SIGN_CERTS:-}" ] || refuse "PT_SIGN_CERTS: '${PT_SIGN_CERTS:-}' names no readable certificate chain"
    [ -z "${PT_SIGN_PASSWORD_FILE:-}" ] || [ -r "$PT_SIGN_PASSWORD_FILE" ] \
        || refuse "PT_SIGN_PASSWORD_FILE: $PT_SIGN_PASSWORD_FILE cannot be read"
    openssl x509 -in "$PT_SIGN_CERTS" -out "$keys/signer.pem" 2>/dev/null
    cp "$PT_SIGN_CERTS" "$keys/trusted.pem"
    key_args=(-pkcs11module "$PT_SIGN_PKCS11_MODULE" -certs "$PT_SIGN_CERTS" -key "$PT_SIGN_KEY")
    [ -n "${PT_SIGN_PASSWORD_FILE:-}" ] && key_args+=(-readpass "$PT_SIGN_PASSWORD_FILE")
fi
# Windows' Smart App Control rejects signatures made with elliptic-curve keys: only RSA signs here.
algorithm=$(openssl x509 -in "$keys/signer.pem" -noout -text 2>/dev/null | sed -n 's/^ *Public Key Algorithm: *//p' | head -1)
if [ "$algorithm" != rsaEncryption ]; then
    echo "tools/sign.sh: the signing key is ${algorithm:-unreadable}, not RSA; Smart App Control rejects what it signs" >&2
    exit 1
fi
$ready_only && exit 0
[ -f /etc/ssl/certs/ca-certificates.crt ] && cat /etc/ssl/certs/ca-certificates.crt >> "$keys/trusted.pem"
leaf=$(openssl x509 -in "$keys/signer.pem" -outform DER | sha256sum | cut -c1-64)
for file in "$@"; do
    if ! $check_only; then
        args=(sign "${key_args[@]}" -h sha256
              -n "${PT_SIGN_DESCRIPTION:-Pictarn Setup}" -i "${PT_SIGN_URL:-https://www.pictarn.com}")
        [ -n "${PT_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$PT_SIGN_TIMESTAMP_URL")
        [ -n "${PT_SIGN_TIME:-}" ] && args+=(-time "$PT_SIGN_TIME")
        rm -f "$file.signed"
        osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
        mv "$file.signed" "$file"
    fi
    osslsigncode verify -in "$file" -CAfile "$keys/trusted.pem" -TSA-CAfile "$keys/trusted.pem" -ignore-cdp \
        -require-leaf-hash "sha256:$leaf" >/dev/null 2>&1 \
        || { echo "tools/sign.sh: $file is not signed by the key's certificate, or its signature does not verify" >&2; exit 1; }
done
