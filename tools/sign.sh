#!/usr/bin/env bash
# Authenticode-signs programs in place with osslsigncode when a signing key is given, and does
# nothing otherwise:
#   PT_SIGN_PKCS12          the PKCS#12 file with the code-signing key and certificate chain
#   PT_SIGN_PASSWORD_FILE   the file holding its password
#   PT_SIGN_TIMESTAMP_URL   optional: a timestamp server (a timestamped signature is never reproducible)
#   PT_SIGN_TIME            optional: a fixed signing time in seconds since 1970; without a
#                           timestamp, the same file then gets the same signature every time
# Every signature is checked once made: it verifies, and its signer is the key's own certificate.
# Usage: tools/sign.sh FILE...            sign, then check
#        tools/sign.sh --check FILE...    check only (fails for an unsigned file)
#        tools/sign.sh --stamp FILE       write the signing settings to FILE when they changed, so
#                                         that what the build signs is made again
set -euo pipefail
if [ "${1:-}" = --stamp ]; then
    settings=unsigned
    [ -n "${PT_SIGN_PKCS12:-}" ] && settings="key $(sha256sum < "$PT_SIGN_PKCS12" | cut -c1-64) time ${PT_SIGN_TIME:-} timestamp ${PT_SIGN_TIMESTAMP_URL:-}"
    [ "$(cat "$2" 2>/dev/null)" = "$settings" ] || printf '%s\n' "$settings" > "$2"
    exit 0
fi
[ -n "${PT_SIGN_PKCS12:-}" ] || exit 0
check_only=false
[ "${1:-}" = --check ] && { check_only=true; shift; }
keys=$(mktemp -d); trap 'rm -rf "$keys"' EXIT
pass="file:${PT_SIGN_PASSWORD_FILE:?names the password file of the key}"
openssl pkcs12 -in "$PT_SIGN_PKCS12" -passin "$pass" -nokeys -clcerts -out "$keys/signer.pem" 2>/dev/null
openssl pkcs12 -in "$PT_SIGN_PKCS12" -passin "$pass" -nokeys -out "$keys/trusted.pem" 2>/dev/null
[ -f /etc/ssl/certs/ca-certificates.crt ] && cat /etc/ssl/certs/ca-certificates.crt >> "$keys/trusted.pem"
leaf=$(openssl x509 -in "$keys/signer.pem" -outform DER | sha256sum | cut -c1-64)
for file in "$@"; do
    if ! $check_only; then
        args=(sign -pkcs12 "$PT_SIGN_PKCS12" -readpass "$PT_SIGN_PASSWORD_FILE" -h sha256 -n "Pictarn Setup"
              -i https://www.pictarn.com)
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
