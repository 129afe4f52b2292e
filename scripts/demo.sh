#!/usr/bin/env bash
# Installs, builds and starts the window against the emulated device, in real time, with a
# sample firmware image. With no display it runs the whole update off screen and saves a
# screenshot and a trace instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target dalvorn-firmware-update-emulated
runner=build/default/emulator/dalvorn-firmware-update-emulated
demo=build/default/emulator/demo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$runner" --program-dir "$demo" --real-time "$@"
fi
echo "No display: running the update off screen (QT_QPA_PLATFORM=offscreen)."
status=0
QT_QPA_PLATFORM=offscreen "$runner" --program-dir "$demo" --click \
  --screenshot build/default/demo-window.png --trace build/default/demo-trace.jsonl "$@" ||
  status=$?
echo "Exit status $status; window: build/default/demo-window.png; trace: build/default/demo-trace.jsonl"
