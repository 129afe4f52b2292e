#!/usr/bin/env bash
# The Qt window as assistive technology reads it, from outside the process:
#   1. installs what it needs with apt-get (only what is missing);
#   2. configures and builds the emulated runner and the window tests, warnings as errors;
#   3. runs the window's tests at device pixel ratios 1, 1.5 and 2 on the offscreen platform,
#      which save the window's screenshots at 100, 150 and 200 %;
#   4. on a private Xvfb with its own D-Bus session and AT-SPI registry, runs the emulated
#      runner in real time and reads its window through AT-SPI while the update runs
#      (tests/accessibility/read_qt_window.py), in English and in German (LANGUAGE=de).
# Usage: .ci/accessibility.sh [BUILD_DIR]   (default: build/accessibility in the repository)
# The screenshots and the reader's report are left in BUILD_DIR/ci-accessibility.
set -euo pipefail
trap 'echo "accessibility.sh: failed at line $LINENO" >&2' ERR

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=${1:-$root/build/accessibility}
mkdir -p "$build"
build=$(cd "$build" && pwd)
out=$build/ci-accessibility
mkdir -p "$out"
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="accessibility"

# --- 1. Packages -------------------------------------------------------------------------
step "packages"
packages=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libgl-dev googletest
          nlohmann-json3-dev xvfb xauth dbus dbus-x11 at-spi2-core python3 python3-pyatspi
          fonts-dejavu-core gettext x11-utils)
install_missing "${packages[@]}"

# --- 2. Build ------------------------------------------------------------------------------
step "build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDALVORN_WERROR=ON \
  >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
cmake --build "$build" -j 2 --target dalvorn-firmware-update-emulated gui_window_tests \
  >"$out/build.log" 2>&1 || { tail -n 80 "$out/build.log"; exit 1; }
runner=$build/emulator/qt/dalvorn-firmware-update-emulated
demo=$build/emulator/demo

# --- 3. Scaled window and screenshots ------------------------------------------------------
step "window at 100, 150 and 200 %"
rm -f "$out"/qt-*.png
for scale in 1 1.5 2; do
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale DALVORN_SCREENSHOTS=$out \
    timeout 120 "$build/tests/gui/gui_window_tests" --gtest_brief=1 \
    --gtest_filter='ScaledWindowTest.*' </dev/null
done
ls "$out"/qt-*.png

# --- 4. AT-SPI ---------------------------------------------------------------------------
step "AT-SPI"
xvfb_pid=""
cleanup() { [[ -z $xvfb_pid ]] || kill "$xvfb_pid" >/dev/null 2>&1 || true; }
trap cleanup EXIT

# Inside a private session bus: the accessibility bus and its registry, then the reader.
# Everything started there is ended there; the session bus itself ends with the reader.
session='
set -eu
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=$!
trap "kill $launcher 2>/dev/null || true" EXIT
for _ in $(seq 50); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 && break
  sleep 0.1
done
/usr/bin/python3 "$1" "$2" "$3" 90
'
# In English, then in German (LANGUAGE=de: the names read are the German captions).
# Each language gets an X server of its own, so that nothing one run leaves behind (or the
# server's end of it) reaches the next.
for language in "" de; do
  report=$out/at-spi${language:+-$language}
  start_xvfb 150 199
  status=0
  DISPLAY=:$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    LC_ALL=C.UTF-8 LANGUAGE=$language \
    timeout 180 dbus-run-session -- bash -c "$session" session \
    "$root/tests/accessibility/read_qt_window.py" "$runner" "$demo" </dev/null \
    >"$report.txt" 2>"$report.stderr" || status=$?
  cat "$report.txt"
  if [[ $status -ne 0 ]]; then
    tail -n 30 "$report.stderr" >&2
    echo "accessibility: the AT-SPI reader failed ($status)${language:+ in $language}" >&2
    exit 1
  fi
  cleanup
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
step "done: report and screenshots in $out"
