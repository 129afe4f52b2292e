#!/bin/sh
# Runs inside the test VM (vm/run-vm-program-test.sh), chrooted into the host's own file system:
# the udev daemon as on a desktop, an X server, and the real program, started with no device.
# Once its window is up, the device is plugged in 3 s later (dalvorn_vm_uhid_plug, through
# /dev/uhid); the window must take the system's notification and show the device ready; then
# its button is clicked (xdotool) and the program must update the device and end with exit
# status 0. Prints the program's trace (lines "DALVORN-TRACE-PLUGGED: ...") and one result line.
#   program_in_vm.sh PROGRAM PLUG
set -u
program=$1
plug=$2
work=/tmp/dalvorn
say() { echo "guest: $*"; }
fail() {
  echo "DALVORN-VM-PROGRAM-RESULT: FAIL $*"
  exit 1
}
# wait_for SECONDS PATTERN: true once the program's trace holds PATTERN.
wait_for() {
  i=0
  while [ "$i" -lt $(($1 * 10)) ]; do
    grep -q "$2" "$work/trace.jsonl" 2>/dev/null && return 0
    sleep 0.1
    i=$((i + 1))
  done
  return 1
}

# The udev daemon makes the device's nodes and sends its events to the program's monitor.
udevd=/lib/systemd/systemd-udevd
[ -x "$udevd" ] || udevd=/usr/lib/systemd/systemd-udevd
"$udevd" --daemon || fail "the udev daemon did not start"
udevadm trigger --action=add >/dev/null 2>&1
udevadm settle --timeout=30

Xvfb :7 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
i=0
while [ ! -e /tmp/.X11-unix/X7 ] && [ "$i" -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
[ -e /tmp/.X11-unix/X7 ] || fail "no X server"

# The program in a folder of its own with its image, as an installed copy lies.
mkdir -p "$work"
cp "$program" "$work/dalvorn-firmware-update"
dd if=/dev/urandom of="$work/Varnholt.bin" bs=1017 count=1 2>/dev/null
DISPLAY=:7 QT_QPA_PLATFORM=xcb DALVORN_TRACE="$work/trace.jsonl" \
  "$work/dalvorn-firmware-update" >"$work/program.log" 2>&1 &
program_pid=$!
wait_for 120 '"op":"status","text":"Connect the device' || fail "the window did not come up"
say "the window is up, asking for the device"
sleep 3
"$plug" "$work/Varnholt.bin" >"$work/plug.log" 2>&1 &
plug_pid=$!
wait_for 60 '"op":"status","text":"Ready to update.' || fail "the window did not see the device"
say "the window shows the device ready"
window=$(DISPLAY=:7 xdotool search --name '^Firmware Update$' | head -n 1)
[ -n "$window" ] || fail "no window named Firmware Update"
# The button's middle, in the window's client area at 96 dpi (left 900, top 3015, 3615 x 495
# twips).
DISPLAY=:7 xdotool mousemove --window "$window" 180 217 click 1
say "clicked Upgrade Firmware"
i=0
while kill -0 "$program_pid" 2>/dev/null && [ "$i" -lt 1800 ]; do sleep 0.1; i=$((i + 1)); done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end"
wait "$program_pid"
status=$?
kill -TERM "$plug_pid"
wait "$plug_pid"
plug_status=$?
cat "$work/plug.log" "$work/program.log"
sed 's/^/DALVORN-TRACE-PLUGGED: /' "$work/trace.jsonl"
changes=$(grep -c '"op":"device_change"' "$work/trace.jsonl")
say "program exit status $status, $changes device notifications taken"
[ "$status" -eq 0 ] && [ "$plug_status" -eq 0 ] && [ "$changes" -ge 1 ] ||
  fail "exit=$status device=$plug_status notifications=$changes"
echo "DALVORN-VM-PROGRAM-RESULT: PASS exit=$status notifications=$changes"
