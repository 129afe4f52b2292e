#!/usr/bin/env bash
# Signs a firmware image for the program, and checks the signature at once:
#   scripts/sign-firmware.sh KEY IMAGE [PUBLIC_KEY...]
# KEY is the maker's ECDSA P-256 private key (PEM; docs/signing.md says how to make one and keep
# it). Writes IMAGE.sig next to IMAGE: the DER signature over the SHA-256 of the whole file, as
#   openssl dgst -sha256 -sign KEY -out IMAGE.sig IMAGE
# writes it; ship it beside the image as Varnholt.bin.sig. Then verifies IMAGE.sig over IMAGE
# with each PUBLIC_KEY given (the keys the program is built with, DALVORN_FIRMWARE_PUBLIC_KEYS:
# one of them must verify it), or else with KEY's own public key. Exits 1 when anything fails.
set -euo pipefail
fail() { echo "sign-firmware.sh: $*" >&2; exit 1; }
[[ $# -ge 2 ]] || fail "usage: sign-firmware.sh KEY IMAGE [PUBLIC_KEY...]"
key=$1 image=$2
shift 2
command -v openssl >/dev/null || fail "the openssl command is missing (apt-get install openssl)"
[[ -f $key && -r $key ]] || fail "$key: no readable key file"
[[ -f $image && -r $image ]] || fail "$image: not a readable regular file"
size=$(stat -c %s -- "$image")
((size >= 40)) || fail "$image holds $size bytes, less than one 40-byte record: the program refuses it"
((size <= 16777216)) || fail "$image is larger than 16 MiB: the program refuses it"
grep -q "PRIVATE KEY" "$key" || fail "$key is not a private key (PEM)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The keys that verify: those given, or the private key's own public half. (An encrypted key
# asks for its pass phrase here too.)
if [[ $# -eq 0 ]]; then
  openssl pkey -in "$key" -pubout -out "$work/own.pub.pem" || fail "$key cannot be read"
  set -- "$work/own.pub.pem"
fi
for public in "$@"; do
  curve=$(openssl pkey -pubin -in "$public" -noout -text 2>/dev/null | sed -n 's/^ASN1 OID: //p')
  shown=$public
  [[ $public == "$work/own.pub.pem" ]] && shown=$key
  [[ $curve == prime256v1 ]] || fail "$shown is not an ECDSA P-256 key (the program takes no other)"
done
openssl dgst -sha256 -sign "$key" -out "$work/image.sig" "$image" ||
  fail "openssl could not sign $image with $key"
verified=
for public in "$@"; do
  if openssl dgst -sha256 -verify "$public" -signature "$work/image.sig" "$image" >/dev/null 2>&1
  then
    verified=$public
    break
  fi
done
[[ -n $verified ]] || fail "the signature does not verify with $*: is that the key the program is built with?"
mv "$work/image.sig" "$image.sig"
fingerprint=$(openssl pkey -pubin -in "$verified" -outform DER | sha256sum | cut -c1-16)
echo "$image.sig: $(stat -c %s -- "$image.sig") bytes, verified over $size bytes of $image"
echo "  with $( [[ $verified == "$work/own.pub.pem" ]] && echo "the key's own public half" ||
  echo "$verified") (SHA-256 of the public key starts $fingerprint)"
