#!/usr/bin/env bash
# Installs, builds and runs every test: the normal build, the build with AddressSanitizer and
# UndefinedBehaviorSanitizer, the report descriptor parser under libFuzzer, and the update of
# a device served by a real Linux kernel in a virtual machine; then the Windows program,
# cross-compiled, with its tests under Wine; then the packages, built and checked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in default asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
bash .ci/accessibility.sh build/default
bash .ci/linux-backend.sh --skip-tests
# A trace recorded against the real kernel replays on the emulated runner with an equal trace.
vm/replay-vm-trace.sh build/linux-vm build/default
bash .ci/windows.sh build/windows
bash .ci/packages.sh build/windows

# The Qt and the Win32 window over the same emulated run leave the same trace, line for line.
QT_QPA_PLATFORM=offscreen build/default/emulator/qt/dalvorn-firmware-update-emulated \
  --program-dir build/default/emulator/demo --click --trace build/default/qt-trace.jsonl
if ! diff <(tr -d '\r' < build/default/qt-trace.jsonl) \
          <(tr -d '\r' < build/windows/ci-windows/emulated-trace.jsonl) >/dev/null; then
  echo "FAIL: the Qt and the Win32 runner left different traces" >&2
  exit 1
fi
echo "traces of the Qt and the Win32 runner: identical"
