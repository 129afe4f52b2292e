#!/usr/bin/env bash
# A Debian package built with the maker's public key and a signed image refuses an image that
# was changed after install, and takes the one it came with, in a fresh minimal Debian root:
#   1. the root from debootstrap --variant=minbase (the tarball .ci/package-debian-root.sh keeps
#      in WORK/cache, made here when missing), apt-get install ./PACKAGE.deb and umockdev;
#   2. one bit of the installed /opt/NAME/Varnholt.bin flipped; the installed program started
#      from /usr/bin on a private Xvfb (openbox) with a device faked by umockdev
#      (tests/signature/serve_fake_device.cpp, compiled here): its status line says the image
#      "is not signed by the maker: its signature matches none of the maker's keys" and the
#      button stays disabled; Upgrade Firmware pressed all the same, then the close box: no
#      image read, no message box, exit status 0 and no feature report sent;
#   3. the installed image put back: the same press takes it ("signature": "verified") and
#      sends the device its first report; the window is then closed with its close box.
# Usage: .ci/package-signed.sh [--build] PACKAGE.deb WORK   (as root)
#   --build: first builds PACKAGE.deb with scripts/package.sh from a throwaway key pair and image
#            made in WORK (the private key never leaves WORK), in build/package-signed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
use_utf8_locale
trap 'echo "package-signed.sh: failed at line $LINENO" >&2' ERR
[[ $(id -u) -eq 0 ]] || { echo "package-signed.sh: run as root (debootstrap, chroot)" >&2; exit 1; }
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=0
if [[ ${1:-} == --build ]]; then build=1; shift; fi
[[ $# -eq 2 ]] || { echo "usage: package-signed.sh [--build] PACKAGE.deb WORK" >&2; exit 1; }
deb=$(realpath -m "$1")
work=$(realpath -m "$2")
suite=bookworm
root=$work/signed-root
cache=$work/cache
mkdir -p "$cache/archives/partial"
# "--": run by .ci/packages.sh, inside one of its steps.
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="signed package" step_mark="--"

install_missing debootstrap xvfb xdotool x11-utils openbox openssl g++ pkg-config \
  libumockdev-dev dpkg-dev

if ((build)); then
  step "build a package with a throwaway key and a signed image"
  keys=$work/keys
  rm -rf "$keys" && mkdir -m 700 -p "$keys"
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$keys/maker-key.pem"
  openssl pkey -in "$keys/maker-key.pem" -pubout -out "$keys/maker-key.pub.pem"
  head -c 4013 /dev/urandom >"$keys/firmware.bin"
  "$source_dir/scripts/sign-firmware.sh" "$keys/maker-key.pem" "$keys/firmware.bin" \
    "$keys/maker-key.pub.pem"
  rm -rf "$work/packages"
  DALVORN_LINUX_BUILD=$source_dir/build/package-signed DALVORN_PACKAGES=$work/packages \
    DALVORN_PACKAGE_TARGETS=deb "$source_dir/scripts/package.sh" \
    -DDALVORN_FIRMWARE_PUBLIC_KEYS="$keys/maker-key.pub.pem" \
    -DDALVORN_FIRMWARE_IMAGE="$keys/firmware.bin"
  mkdir -p "$(dirname "$deb")"
  cp "$work"/packages/*.deb "$deb"
fi
name=$(dpkg-deb -f "$deb" Package)
dpkg-deb -c "$deb" | grep "/opt/$name/Varnholt.bin.sig$" >/dev/null ||
  { echo "$(basename "$deb") holds no Varnholt.bin.sig: not a signed-image package" >&2; exit 1; }

step "fake device"
# The model's USB IDs are the package's, read from its udev rule.
rm -rf "$work/device" && mkdir -p "$work/device/dalvorn"
dpkg-deb --fsys-tarfile "$deb" | tar -xO --wildcards '*/rules.d/*.rules' >"$work/device/rules"
ids=($(grep -o 'idVendor}=="[0-9a-fA-F]*", ATTRS{idProduct}=="[0-9a-fA-F]*"' "$work/device/rules" |
  grep -o '"[0-9a-fA-F]*"' | tr -d '"'))
((${#ids[@]} == 4)) || { echo "no vendor and product IDs in the package's udev rule" >&2; exit 1; }
cat >"$work/device/dalvorn/device_ids.h" <<EOF
#pragma once
#include <cstdint>
namespace dalvorn {
inline constexpr std::uint16_t DeviceVendorID = 0x${ids[0]};
inline constexpr std::uint16_t AppProductID = 0x${ids[1]};
inline constexpr std::uint16_t BootProductID = 0x${ids[3]};
}  // namespace dalvorn
EOF
g++ -std=c++20 -O1 -I"$work/device" -I"$source_dir/src" -I"$source_dir/tests/support" \
  "$source_dir/tests/signature/serve_fake_device.cpp" "$source_dir/tests/support/fake_hid_host.cpp" \
  "$source_dir/tests/support/hid_device_model.cpp" $(pkg-config --cflags --libs umockdev-1.0) \
  -o "$work/device/serve_fake_device"

source "$(dirname "${BASH_SOURCE[0]}")/debian-root.sh"

step "root"
# umockdev serves each fake node through a pseudo-terminal: /dev/pts too.
fresh_root "$suite" /dev/pts

step "apt-get install ./$(basename "$deb") umockdev"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" umockdev \
  >"$work/install.log" 2>&1 || { tail -n 30 "$work/install.log"; exit 1; }
cp "$work/device/serve_fake_device" "$root/tmp/"
image=/opt/$name/Varnholt.bin
cp "$root$image" "$work/Varnholt.bin.installed"
size=$(stat -c %s "$root$image")

start_desktop 200 249

# run_and_press RUN: starts the installed program with the fake device, waits for its window
# (labels filled: the device was found) and presses Upgrade Firmware. Sets program, window, X, Y,
# WIDTH; the trace is $root/tmp/RUN.jsonl, the device's count in $work/RUN.out.
run_and_press() {
  rm -f "$root/tmp/$1.jsonl"
  in_root env DISPLAY=":$display" XDG_RUNTIME_DIR=/run/user/0 DALVORN_TRACE="/tmp/$1.jsonl" \
    umockdev-wrapper /tmp/serve_fake_device "/usr/bin/$name" >"$work/$1.out" 2>"$work/$1.err" &
  program=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Firmware Update$' 2>/dev/null | head -n 1) || true
    [[ -n $window ]] && grep -q '"lblSerialNumber"' "$root/tmp/$1.jsonl" 2>/dev/null && break
    sleep 0.1
  done
  [[ -n $window ]] || { cat "$work/$1.err"; echo "$1: no window came up" >&2; exit 1; }
  grep -q '"lblSerialNumber"' "$root/tmp/$1.jsonl" ||
    { cat "$work/$1.err"; echo "$1: the program did not find the fake device" >&2; exit 1; }
  sleep 1  # let the window manager frame it
  geometry() { xwininfo -id "$window" | sed -n "s/^ *$1: *//p"; }
  X=$(geometry 'Absolute upper-left X') Y=$(geometry 'Absolute upper-left Y') WIDTH=$(geometry Width)
  # Upgrade Firmware: left 900, top 2655, 3615 x 495 twips; its middle, in pixels.
  xdotool mousemove "$((X + (900 + 3615 / 2) / 15))" "$((Y + (2655 + 495 / 2) / 15))" click 1
}
# wait_exit RUN: sets status to the program's exit status once it has ended (at most 30 s).
wait_exit() {
  for _ in $(seq 300); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$program" 2>/dev/null && { echo "$1: the program did not end" >&2; exit 1; }
  status=0
  wait "$program" || status=$?
}
# trace_check RUN PYTHON: runs the Python check over the run's trace lines (`lines`) and the
# fake device's count of feature reports (`reports`).
trace_check() {
  python3 - "$root/tmp/$1.jsonl" "$work/$1.out" "$2" <<'PY'
import json, sys
trace, out, check = sys.argv[1:4]
lines = [json.loads(l) for l in open(trace, encoding="utf-8") if l.strip()]
reports = int(open(out).read().split("feature_reports=")[1].split()[0])
def fail(why):
    sys.exit("trace: " + why)
exec(check)
PY
}

step "a changed image is refused before the click"
python3 - "$root$image" "$((size / 2))" <<'PY'
import sys
path, at = sys.argv[1], int(sys.argv[2])
data = bytearray(open(path, "rb").read())
data[at] ^= 0x04
open(path, "wb").write(data)
PY
run_and_press flipped
# The press reaches a disabled button: nothing happens, and the close box ends the program.
sleep 1
xdotool mousemove "$((X + WIDTH - 10))" "$((Y - 10))" click 1
wait_exit flipped
[[ $status -eq 0 ]] || { cat "$work/flipped.err"; echo "exit status $status, not 0" >&2; exit 1; }
trace_check flipped '
said = [l["text"] for l in lines if l.get("op") == "status"]
enabled = [l["value"] for l in lines if l.get("op") == "enabled"]
expected = "The firmware image \"Varnholt.bin\" is not signed by the maker: " \
    "its signature matches none of the maker\x27s keys."
if not said or said[-1] != expected:
    fail("the status line does not say the signature does not match: %r" % said)
if not enabled or enabled[-1]:
    fail("the button was enabled: %r" % enabled)
if any(l["ev"] == "image" or l.get("op") == "message_box" for l in lines):
    fail("the press was taken")
if reports != 0 or any(l.get("fn") == "HidD_SetFeature" for l in lines):
    fail("%d feature reports reached the device" % reports)
print("refused before the click: " + said[-1])
'
echo "exit status 0, no feature report sent"

step "the image it came with is taken"
cp "$work/Varnholt.bin.installed" "$root$image"
run_and_press signed
for _ in $(seq 100); do
  grep -q '"HidD_SetFeature"' "$root/tmp/signed.jsonl" && break
  sleep 0.1
done
# The device is not re-created in its bootloader: close the window while the program waits.
xdotool mousemove "$((X + WIDTH - 10))" "$((Y - 10))" click 1
wait_exit signed
[[ $status -eq 3 ]] || { cat "$work/signed.err"; echo "exit status $status, not 3" >&2; exit 1; }
trace_check signed '
load = [l for l in lines if l["ev"] == "image"]
if len(load) != 1 or load[0].get("signature") != "verified" or load[0].get("bytes") != '"$size"':
    fail("the image was not taken verified: %r" % load)
if reports < 1:
    fail("the device was sent nothing")
print("verified: %d bytes, %d feature report(s) sent" % (load[0]["bytes"], reports))
'
step "done"
