#!/usr/bin/env bash
# Installs, builds and starts the window against the emulated device, in real time, with a
# sample firmware image signed as a maker signs it: a throwaway key pair is made in the build
# folder (and never leaves it), the image is signed with scripts/sign-firmware.sh, and the
# runner checks it as a build made with that public key does (--public-key). With no display it
# runs the whole update off screen and saves a screenshot and a trace instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target dalvorn-firmware-update-emulated
runner=build/default/emulator/qt/dalvorn-firmware-update-emulated
demo=build/default/emulator/demo
keys=build/default/demo-keys
rm -rf "$keys" && mkdir -m 700 "$keys"
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$keys/maker-key.pem"
openssl pkey -in "$keys/maker-key.pem" -pubout -out "$keys/maker-key.pub.pem"
scripts/sign-firmware.sh "$keys/maker-key.pem" "$demo/Varnholt.bin" "$keys/maker-key.pub.pem"
set -- --public-key "$keys/maker-key.pub.pem" "$@"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$runner" --program-dir "$demo" --real-time "$@"
fi
echo "No display: running the update off screen (QT_QPA_PLATFORM=offscreen)."
status=0
QT_QPA_PLATFORM=offscreen "$runner" --program-dir "$demo" --click \
  --screenshot build/default/demo-window.png --trace build/default/demo-trace.jsonl "$@" ||
  status=$?
echo "Signature: $(grep -o '"signature":"[^"]*"' build/default/demo-trace.jsonl | cut -d'"' -f4)"
echo "Exit status $status; window: build/default/demo-window.png; trace: build/default/demo-trace.jsonl"
exit "$status"
