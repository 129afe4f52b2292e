#!/usr/bin/env bash
# Signs Windows executables in place (Authenticode, SHA-256) with osslsigncode.
# Usage: scripts/sign-windows.sh FILE.exe...
# The certificate comes from the environment:
#   DALVORN_SIGN_CERT   the certificate (chain) in PEM
#   DALVORN_SIGN_KEY    its private key in PEM
#   DALVORN_SIGN_PASS   the key's password, when it has one
#   DALVORN_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server (none by default)
# Without DALVORN_SIGN_CERT it signs nothing and says so.
set -euo pipefail
if [[ -z ${DALVORN_SIGN_CERT:-} ]]; then
  echo "sign: DALVORN_SIGN_CERT is not set: $(basename -a "$@" | tr '\n' ' ')left unsigned"
  exit 0
fi
: "${DALVORN_SIGN_KEY:?DALVORN_SIGN_KEY must name the private key of the certificate}"
options=(-certs "$DALVORN_SIGN_CERT" -key "$DALVORN_SIGN_KEY" -h sha256
         -n "Dalvorn firmware update")
[[ -n ${DALVORN_SIGN_PASS:-} ]] && options+=(-pass "$DALVORN_SIGN_PASS")
[[ -n ${DALVORN_SIGN_TIMESTAMP_URL:-} ]] && options+=(-ts "$DALVORN_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv -f "$file.signed" "$file"
  echo "sign: $(basename "$file") signed" >&2
done
