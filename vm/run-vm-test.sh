#!/usr/bin/env bash
# End-to-end test on a real kernel: boots Debian's kernel under QEMU with an initramfs that
# loads hid, uhid and hid-generic and runs the guest program (dalvorn_vm_guest), which serves the
# device model through /dev/uhid and updates it with the program's own code over hidraw: a
# device that switches at once (updated, then a refused block), one that stays 700 ms on the
# bus after the entry message and after the data (updated, every block in its bootloader), and
# two devices of the kind (refused before the click: the button stays disabled, neither is sent
# anything), and a second device created while the first switches, after it in the order of
# the nodes and in its place (sent nothing; the first updated when it comes first, the update
# stopped saying that another device came otherwise).
#
#   vm/run-vm-test.sh GUEST_BINARY [WORK_DIR]
#
# The kernel package is downloaded once with apt-get download into DALVORN_VM_CACHE
# (default /var/tmp/dalvorn-vm-cache). Needs qemu-system-x86, busybox-static and cpio.
# Exits 0 when the guest reports PASS; skips (exit 0, with a message) only when QEMU cannot run.
# Leaves the program's traces in WORK_DIR/vm-trace.jsonl (the update),
# WORK_DIR/vm-trace-refused.jsonl (a failing update), WORK_DIR/vm-trace-slow.jsonl (the slow
# device) and WORK_DIR/vm-trace-two-devices.jsonl (two devices, refused), which
# vm/replay-vm-trace.sh replays, and WORK_DIR/newcomer-trace.jsonl and newcomer-first-trace.jsonl
# (a second device after the first in the order of the nodes, and before it; not replayed: the
# trace tool makes no interface appear during a run).
set -euo pipefail

guest=${1:?usage: run-vm-test.sh GUEST_BINARY [WORK_DIR]}
work=${2:-$(mktemp -d /tmp/dalvorn-vm.XXXXXX)}
cache=${DALVORN_VM_CACHE:-/var/tmp/dalvorn-vm-cache}
qemu_timeout=${DALVORN_VM_TIMEOUT:-240}

log() { echo "vm-test: $*"; }

if ! qemu-system-x86_64 --version >/dev/null 2>&1; then
  log "SKIPPED: qemu-system-x86_64 cannot run on this machine (apt-get install qemu-system-x86)"
  exit 0
fi
for tool in busybox cpio dpkg-deb gzip; do
  command -v "$tool" >/dev/null || { log "FAIL: $tool is missing"; exit 1; }
done
[[ -x $guest ]] || { log "FAIL: guest program $guest not found"; exit 1; }

# The kernel that Debian's linux-image-amd64 names, with its modules.
mkdir -p "$cache"
package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[[ -n $package ]] || { log "FAIL: apt-cache names no kernel for linux-image-amd64"; exit 1; }
kernel_dir=$cache/$package
if [[ ! -f $kernel_dir/vmlinuz ]]; then
  log "downloading $package"
  rm -rf "$kernel_dir" "$cache/unpacked" && mkdir -p "$kernel_dir/hid"
  (cd "$cache" && apt-get download "$package" >/dev/null 2>&1) ||
    { log "FAIL: apt-get download $package failed"; exit 1; }
  dpkg-deb -x "$cache/${package}"_*.deb "$cache/unpacked"
  # Keep only what the test boots: the kernel and the HID modules.
  cp "$cache"/unpacked/lib/modules/*/kernel/drivers/hid/*.ko* "$kernel_dir/hid/"
  cp "$cache"/unpacked/boot/vmlinuz-* "$kernel_dir/vmlinuz.tmp"
  mv "$kernel_dir/vmlinuz.tmp" "$kernel_dir/vmlinuz"
  rm -rf "$cache/unpacked" "$cache/${package}"_*.deb
fi
vmlinuz=$kernel_dir/vmlinuz
hid_modules=$kernel_dir/hid

# The initramfs: busybox, the three modules, the guest program and the libraries it needs.
root=$work/root
rm -rf "$root" && mkdir -p "$root"/{bin,dev,proc,sys,modules}
cp /bin/busybox "$root/bin/busybox"
for applet in sh mount insmod poweroff cat; do ln -s busybox "$root/bin/$applet"; done
for module in hid uhid hid-generic; do
  if [[ -f $hid_modules/$module.ko ]]; then
    cp "$hid_modules/$module.ko" "$root/modules/"
  elif [[ -f $hid_modules/$module.ko.xz ]]; then
    xz -dc "$hid_modules/$module.ko.xz" >"$root/modules/$module.ko"
  else
    log "FAIL: module $module not in $package"; exit 1
  fi
done
cp "$guest" "$root/dalvorn_vm_guest"
for lib in $(ldd "$guest" | grep -o '/[^ ]*'); do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
cat >"$root/init" <<'EOF'
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
insmod /modules/hid.ko && insmod /modules/uhid.ko && insmod /modules/hid-generic.ko
/dalvorn_vm_guest
echo "DALVORN-VM-EXIT $?"
poweroff -f
EOF
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

log "booting $package under QEMU (tcg)"
start=$(date +%s.%N)
status=0
timeout "$qemu_timeout" qemu-system-x86_64 -accel tcg -cpu max -m 256 -smp 1 -nographic \
  -no-reboot -nodefaults -monitor none -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
  -append 'console=ttyS0 quiet panic=-1' -serial "file:$work/console.log" || status=$?
end=$(date +%s.%N)
seconds=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f", b - a}')

grep -oE '(guest:|DALVORN-).*' "$work/console.log" | sed 's/\r$//' |
  grep -vE '^DALVORN-[A-Z-]*TRACE[A-Z-]*: ' || true
for kind in NEWCOMER NEWCOMER-FIRST; do
  grep -oE "DALVORN-$kind-TRACE: .*" "$work/console.log" |
    sed "s/\r\$//; s/^DALVORN-$kind-TRACE: //" >"$work/$(tr 'A-Z' 'a-z' <<<"$kind")-trace.jsonl" ||
    true
done
# The program's traces, as DALVORN_TRACE writes them, for vm/replay-vm-trace.sh: the update, the
# failing update (a refused block), the slow device and the two devices.
for kind in TRACE TRACE-REFUSED TRACE-SLOW TRACE-TWO-DEVICES; do
  file=$work/vm-$(tr 'A-Z' 'a-z' <<<"$kind").jsonl
  grep -oE "DALVORN-$kind: .*" "$work/console.log" | sed "s/\r\$//; s/^DALVORN-$kind: //" \
    >"$file" || true
  log "trace of the program: $file ($(wc -l <"$file") lines)"
done
if grep -q 'DALVORN-VM-RESULT: PASS' "$work/console.log"; then
  log "PASS in ${seconds} s (boot and update)"
  exit 0
fi
if [[ $status -eq 124 ]]; then
  log "FAIL: the VM did not finish within ${qemu_timeout} s"
fi
log "FAIL after ${seconds} s; console log: $work/console.log"
tail -n 30 "$work/console.log" || true
exit 1
