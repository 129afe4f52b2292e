#!/usr/bin/env bash
# The Windows program, cross-compiled with MinGW-w64 and tested under Wine:
#   1. installs what it needs with apt-get (only what is missing);
#   2. configures with the "windows" preset (cmake/mingw-w64-x86_64.cmake, warnings as errors;
#      the README's Windows build, so the same folder is not built twice) and builds;
#   3. checks that the executables need only system DLLs;
#   4. runs the ctest suite under Wine (CMAKE_CROSSCOMPILING_EMULATOR) on a private Xvfb;
#   5. runs the emulated runner for a whole update (trace and screenshot checked);
#   6. runs the real program, reads its window, closes it and checks its exit status.
# Wine and everything else here run in the C.UTF-8 locale, whatever the caller's (the tests
# keep files in folders named in Cyrillic and Chinese letters).
# Usage: .ci/windows.sh [BUILD_DIR]   (default: build/windows, the preset's folder)
set -euo pipefail
trap 'echo "windows.sh: failed at line $LINENO" >&2' ERR

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
use_utf8_locale
build=${1:-$root/build/windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
out=$build/ci-windows
mkdir -p "$out"
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="windows"

# --- 1. Packages -------------------------------------------------------------------------
step "packages"
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 wine fonts-wine xvfb
          googletest nlohmann-json3-dev python3)
install_missing "${packages[@]}"

# --- Wine session and display --------------------------------------------------------------
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

start_xvfb 90 140
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

step "wine prefix"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  timeout 120 "$wine" wineboot --init </dev/null >/dev/null 2>&1 || true
fi
# One lasting server for the whole run, started before anything else uses the prefix: with
# servers that come and go, a Wine process can lose its server mid-run, and a lingering one
# would hold the test runner's output open.
timeout 60 "$wineserver" -w || { "$wineserver" -k || true; sleep 1; }
"$wineserver" -p </dev/null >/dev/null 2>&1 || true
# Debian's Wine does not find its own fonts ("MS Sans Serif" among them).
ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
# Without a window manager, unmanaged windows (DestroyWindow waits otherwise).
for value in Managed Decorated; do
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f </dev/null >/dev/null 2>&1 ||
    { echo "cannot set the Wine X11 driver's $value" >&2; exit 1; }
done
"$wine" wineboot </dev/null >/dev/null 2>&1

# --- 2. Build ------------------------------------------------------------------------------
step "configure"
# The toolchain file finds Wine ($wine) for CMAKE_CROSSCOMPILING_EMULATOR.
(cd "$root" && cmake --preset windows -B "$build") >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log"; exit 1; }
step "build"
cmake --build "$build" -j 2 >"$out/build.log" 2>&1 || { tail -n 80 "$out/build.log"; exit 1; }

program=$build/app/dalvorn-firmware-update.exe
runner=$build/emulator/win32/dalvorn-firmware-update-emulated.exe

# --- 3. Only system DLLs -------------------------------------------------------------------
step "imports"
system_dlls='^(kernel32|user32|gdi32|hid|setupapi|cfgmgr32|msvcrt|advapi32|shell32|ole32|comctl32|version|bcrypt)\.dll$'
for exe in "$program" "$runner"; do
  [[ -f $exe ]] || continue
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
  echo "$(basename "$exe"): $(echo $dlls)"
  if grep -vEq "$system_dlls" <<<"$dlls"; then
    echo "$(basename "$exe") needs a DLL that is not the system's" >&2
    exit 1
  fi
done

# --- 4. Tests under Wine -------------------------------------------------------------------
step "ctest"
ctest --test-dir "$build" --output-on-failure --timeout 120 -j 2

# --- 5. The emulated runner: a whole update --------------------------------------------------
if [[ -f $runner ]]; then
  step "emulated runner"
  demo=$(winepath -w "$build/emulator/demo" 2>/dev/null)
  rm -f "$out/emulated-trace.jsonl" "$out/emulated-window.png"
  set +e
  timeout 120 "$wine" "$runner" --program-dir "$demo" --click \
    --trace "$(winepath -w "$out/emulated-trace.jsonl")" \
    --screenshot "$(winepath -w "$out/emulated-window.png")" </dev/null
  status=$?
  set -e
  [[ $status -eq 0 ]] || { echo "emulated runner exited with $status" >&2; exit 1; }
  python3 "$root/.ci/check-emulated-run.py" "$out/emulated-trace.jsonl" \
    "$build/emulator/demo/Varnholt.bin" "$out/emulated-window.png"
fi

# --- 6. The real program: comes up blank, closes with status 0 ------------------------------
step "real program"
(cd "$(dirname "$program")" && exec timeout 120 "$wine" "$program" </dev/null) &
program_pid=$!
set +e
timeout 90 "$wine" "$build/tests/windows/close_window.exe" 60 \
  "$(winepath -w "$out/real-window.png")" </dev/null | tr -d '\r' >"$out/real-window.txt"
probe=$?
wait "$program_pid"
status=$?
set -e
cat "$out/real-window.txt"
[[ $probe -eq 0 ]] || { echo "the program's window did not come up" >&2; exit 1; }
[[ $status -eq 0 ]] || { echo "the program exited with $status" >&2; exit 1; }
expected='lblManuf=[]
lblProduct=[]
lblVersion=[ ]
lblSerialNumber=[]
Label4=[Manufacturer]
Label5=[Product]
Label2=[Version]
Label3=[Serial Number]
btnUpgradeFW=[Upgrade Firmware]'
while IFS= read -r line; do
  grep -Fxq "$line" "$out/real-window.txt" || { echo "window: expected $line" >&2; exit 1; }
done <<<"$expected"

step "done: screenshots in $out"
