#!/usr/bin/env bash
# Authenticode-signs programs in place with osslsigncode when a signing key is given, and does
# nothing otherwise:
#   PT_SIGN_PKCS12          the PKCS#12 file with the code-signing key and certificate chain
#   PT_SIGN_PASSWORD_FILE   the file holding its password
#   PT_SIGN_TIMESTAMP_URL   optional: a timestamp server (a timestamped signature is never reproducible)
#   PT_SIGN_TIME            optional: a fixed signing time in seconds since 1970; without a
#                           timestamp, the same file then gets the same signature every time
# Usage: tools/sign.sh FILE...
set -euo pipefail
[ -n "${PT_SIGN_PKCS12:-}" ] || exit 0
for file in "$@"; do
    args=(sign -pkcs12 "$PT_SIGN_PKCS12" -readpass "${PT_SIGN_PASSWORD_FILE:?names the password file of the key}"
          -h sha256 -n "Pictarn Setup" -i https://www.pictarn.com)
    [ -n "${PT_SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$PT_SIGN_TIMESTAMP_URL")
    [ -n "${PT_SIGN_TIME:-}" ] && args+=(-time "$PT_SIGN_TIME")
    rm -f "$file.signed"
    osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
done
