#!/usr/bin/env bash
# Replays the traces that the VM test recorded against the real kernel (vm/run-vm-test.sh leaves
# them in its work folder: vm-trace.jsonl, an update; vm-trace-refused.jsonl, a failing one;
# vm-trace-slow.jsonl, a device slow to leave; vm-trace-two-devices.jsonl, two devices refused)
# on the emulated runner, and checks that each replay's trace equals the recorded one once
# normalised (tools/trace/trace_normalise.h says what that drops). Every vm-trace*.jsonl of the
# folder is replayed.
#
#   vm/replay-vm-trace.sh VM_WORK_DIR BUILD_DIR
#
# BUILD_DIR is a build with the Qt runner and dalvorn-trace-tool (e.g. build/default). The
# firmware image is the guest's own (vm/uhid_guest.cpp): 25 records and 17 bytes, byte i being
# i * 13 + 5. Exits 0 when all are equal; skips (exit 0) when there is no trace (QEMU could not
# run there).
set -euo pipefail

vm_work=${1:?usage: replay-vm-trace.sh VM_WORK_DIR BUILD_DIR}
build=${2:?usage: replay-vm-trace.sh VM_WORK_DIR BUILD_DIR}
log() { echo "vm-replay: $*"; }

if [[ ! -s $vm_work/vm-trace.jsonl ]]; then
  log "SKIPPED: no trace in $vm_work (the VM test did not run here)"
  exit 0
fi
runner=$build/emulator/qt/dalvorn-firmware-update-emulated
tool=$build/tools/trace/dalvorn-trace-tool
for program in "$runner" "$tool"; do
  [[ -x $program ]] || { log "FAIL: $program not built"; exit 1; }
done

failed=0
for trace in "$vm_work"/vm-trace*.jsonl; do
  name=$(basename "$trace" .jsonl)
  work=$vm_work/replay/$name
  rm -rf "$work" && mkdir -p "$work/program"
  "$tool" scenario "$trace" >"$work/scenario.json"
  perl -e 'print map { chr(($_ * 13 + 5) & 255) } 0 .. 25 * 40 + 17 - 1' \
    >"$work/program/Varnholt.bin"
  status=0
  QT_QPA_PLATFORM=offscreen "$runner" "$work/scenario.json" --program-dir "$work/program" \
    --click --trace "$work/replayed.jsonl" >/dev/null 2>&1 || status=$?
  if "$tool" compare "$trace" "$work/replayed.jsonl" >"$work/compare.txt"; then
    log "PASS $name: replayed (exit status $status) to the trace recorded on the real kernel"
  else
    log "FAIL $name: recorded $trace, replayed $work/replayed.jsonl, scenario $work/scenario.json"
    cat "$work/compare.txt"
    failed=1
  fi
done
exit "$failed"
