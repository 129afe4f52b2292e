#!/usr/bin/env bash
# CI for the Linux hidraw backend:
#   1. its tests (parser, helpers, umockdev backend and whole update) with warnings as errors,
#      then again with AddressSanitizer and UndefinedBehaviorSanitizer;
#   2. under libFuzzer, each for a bounded time (DALVORN_FUZZ_SECONDS, default 60) from its
#      seed corpus: the report descriptor parser, the signature and key readers, the trace
#      tool's reader and the scenario loader;
#   3. the end-to-end tests on Debian's kernel under QEMU: the program's code over hidraw
#      (vm/run-vm-test.sh), and the real Qt program with the udev daemon, a device plugged in
#      after its window is up and a click (vm/run-vm-program-test.sh).
# Options: --skip-tests leaves out step 1 (for a CI run whose presets already ran them).
set -euo pipefail
cd "$(dirname "$0")/.."

skip_tests=0
[[ ${1:-} == --skip-tests ]] && skip_tests=1
fuzz_seconds=${DALVORN_FUZZ_SECONDS:-60}

source .ci/lib.sh
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="linux backend"

step "packages"
install_missing g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev nlohmann-json3-dev gettext \
  libudev-dev libsystemd-dev libssl-dev umockdev libumockdev-dev clang libclang-rt-14-dev \
  qemu-system-x86 busybox-static cpio xz-utils \
  qt6-base-dev qt6-qpa-plugins libgl-dev udev xvfb xauth xdotool fonts-dejavu-core

common=(-G Ninja -DDALVORN_WERROR=ON -DDALVORN_QT=OFF)
targets=(dalvorn_linux_unit_tests dalvorn_linux_umockdev_tests dalvorn_vm_guest)

step "build (warnings as errors)"
cmake -S . -B build/linux-backend "${common[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/linux-backend --target "${targets[@]}"

if [[ $skip_tests -eq 0 ]]; then
  step "tests"
  ctest --test-dir build/linux-backend -L linux --output-on-failure -j2 --no-tests=error

  step "tests with ASan and UBSan"
  cmake -S . -B build/linux-backend-asan "${common[@]}" -DCMAKE_BUILD_TYPE=Debug \
    -DDALVORN_SANITIZE=ON >/dev/null
  cmake --build build/linux-backend-asan --target dalvorn_linux_unit_tests \
    dalvorn_linux_umockdev_tests
  ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/linux-backend-asan -L linux --output-on-failure -j2 --no-tests=error
fi

CXX=clang++ cmake -S . -B build/linux-fuzz -G Ninja -DDALVORN_QT=OFF -DDALVORN_BUILD_TESTS=OFF \
  -DDALVORN_BUILD_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# fuzz TARGET MAX_LEN SEEDS [OPTION...]: runs one target for fuzz_seconds; a crash fails the run.
# New inputs go to a folder of the build; the seeds in the repository are only read.
fuzz() {
  step "fuzzing $1 for ${fuzz_seconds} s"
  if ! cmake --build build/linux-fuzz --target help | grep -q "^$1:"; then
    echo "FAIL: no $1 target: the top-level CMakeLists.txt must add fuzz/ when" \
         "DALVORN_BUILD_FUZZ is on" >&2
    exit 1
  fi
  cmake --build build/linux-fuzz --target "$1"
  local corpus=build/linux-fuzz/corpus-$1
  rm -rf "$corpus" && mkdir -p "$corpus"
  "build/linux-fuzz/fuzz/$1" -max_total_time="$fuzz_seconds" -max_len="$2" -print_final_stats=1 \
    "${@:4}" "$corpus" "$3" 2>&1 | tail -n 12
}
fuzz report_descriptor_fuzz 4096 fuzz/corpus/report_descriptor
fuzz signature_der_fuzz 512 fuzz/corpus/signature_der
fuzz trace_reader_fuzz 65536 fuzz/corpus/trace -dict=fuzz/trace.dict
fuzz scenario_fuzz 65536 fuzz/corpus/scenario

step "end to end on a real kernel"
vm/run-vm-test.sh build/linux-backend/vm/dalvorn_vm_guest build/linux-vm

step "the real program on a real kernel, the device plugged in after its window is up"
cmake -S . -B build/linux-vm-program -G Ninja -DDALVORN_WERROR=ON -DDALVORN_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/linux-vm-program --target dalvorn-firmware-update dalvorn_vm_uhid_plug
vm/run-vm-program-test.sh build/linux-vm-program/app/dalvorn-firmware-update \
  build/linux-vm-program/vm/dalvorn_vm_uhid_plug build/linux-vm-program-run

echo "linux backend: all steps passed in ${SECONDS} s"
