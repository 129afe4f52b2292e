#!/usr/bin/env bash
# End-to-end test of the real program on a real kernel: boots Debian's kernel under QEMU with an
# initramfs that loads the HID, uhid, virtio 9p and overlay modules, mounts the host's own file
# system read-only (with a writable layer in memory) and chroots into it, so that the host's
# programs run in the guest unchanged. There vm/program_in_vm.sh starts the udev daemon, an X
# server and the real program with no device; 3 s after its window is up the device is plugged
# in through /dev/uhid, and once the window shows it ready its button is clicked: the program
# must update the device and end with exit status 0.
#
#   vm/run-vm-program-test.sh PROGRAM UHID_PLUG [WORK_DIR]
#
# PROGRAM is the Qt program (dalvorn-firmware-update), UHID_PLUG dalvorn_vm_uhid_plug. The
# kernel package is downloaded once with apt-get download into DALVORN_VM_CACHE (default
# /var/tmp/dalvorn-vm-cache). Needs qemu-system-x86, busybox-static, cpio, and on the host (the
# guest runs its programs) udev, xvfb and xdotool. Exits 0 when the guest reports PASS; skips
# (exit 0, with a message) only when QEMU cannot run. Leaves the program's trace in
# WORK_DIR/vm-trace-plugged.jsonl.
set -euo pipefail

program=$(realpath "${1:?usage: run-vm-program-test.sh PROGRAM UHID_PLUG [WORK_DIR]}")
plug=$(realpath "${2:?usage: run-vm-program-test.sh PROGRAM UHID_PLUG [WORK_DIR]}")
work=${3:-$(mktemp -d /tmp/dalvorn-vm-program.XXXXXX)}
cache=${DALVORN_VM_CACHE:-/var/tmp/dalvorn-vm-cache}
qemu_timeout=${DALVORN_VM_TIMEOUT:-420}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

log() { echo "vm-program-test: $*"; }

if ! qemu-system-x86_64 --version >/dev/null 2>&1; then
  log "SKIPPED: qemu-system-x86_64 cannot run on this machine (apt-get install qemu-system-x86)"
  exit 0
fi
for tool in busybox cpio dpkg-deb gzip Xvfb xdotool; do
  command -v "$tool" >/dev/null || { log "FAIL: $tool is missing"; exit 1; }
done
[[ -x /lib/systemd/systemd-udevd || -x /usr/lib/systemd/systemd-udevd ]] ||
  { log "FAIL: the udev daemon is missing (apt-get install udev)"; exit 1; }
[[ -x $program && -x $plug ]] || { log "FAIL: $program or $plug not found"; exit 1; }

# The kernel that Debian's linux-image-amd64 names, with the modules the guest loads and those
# they depend on (each module's own "depends=" list), kept apart from the other VM test's cache.
modules_wanted="hid uhid hid-generic virtio_pci 9pnet_virtio 9p overlay"
mkdir -p "$cache"
package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[[ -n $package ]] || { log "FAIL: apt-cache names no kernel for linux-image-amd64"; exit 1; }
kernel_dir=$cache/$package-program
if [[ ! -f $kernel_dir/vmlinuz ]]; then
  log "downloading $package"
  rm -rf "$kernel_dir" "$cache/unpacked-program" && mkdir -p "$kernel_dir/modules"
  (cd "$kernel_dir" && apt-get download "$package" >/dev/null 2>&1) ||
    { log "FAIL: apt-get download $package failed"; exit 1; }
  dpkg-deb -x "$kernel_dir/${package}"_*.deb "$cache/unpacked-program"
  declare -A file_of=()  # module name, "-" written "_", to its file
  while IFS= read -r file; do
    name=$(basename "${file%.xz}" .ko)
    file_of[${name//-/_}]=$file
  done < <(find "$cache"/unpacked-program/lib/modules -name '*.ko' -o -name '*.ko.xz')
  order=()
  # Each wanted module after the modules it depends on; one built into the kernel has no file.
  add_module() {
    local key=${1//-/_} dep
    local file=${file_of[$key]:-}
    [[ -n $file ]] || return 0
    [[ " ${order[*]} " == *" $key "* ]] && return 0
    if [[ $file == *.xz ]]; then
      xz -dc "$file" >"$kernel_dir/modules/$key.ko"
    else
      cp "$file" "$kernel_dir/modules/$key.ko"
    fi
    for dep in $(grep -a -o 'depends=[a-z0-9_,-]*' "$kernel_dir/modules/$key.ko" | head -n 1 |
                 sed 's/^depends=//; s/,/ /g'); do
      add_module "$dep"
    done
    order+=("$key")
  }
  for module in $modules_wanted; do add_module "$module"; done
  printf '%s.ko\n' "${order[@]}" >"$kernel_dir/modules/order"
  cp "$cache"/unpacked-program/boot/vmlinuz-* "$kernel_dir/vmlinuz.tmp"
  mv "$kernel_dir/vmlinuz.tmp" "$kernel_dir/vmlinuz"
  rm -rf "$cache/unpacked-program" "$kernel_dir/${package}"_*.deb
fi

# The initramfs: busybox and the modules; the rest comes from the host's file system.
root=$work/root
rm -rf "$root" && mkdir -p "$root"/{bin,dev,proc,sys,modules,host,layer,newroot}
cp /bin/busybox "$root/bin/busybox"
for applet in sh mount mkdir insmod chroot poweroff cat cp; do ln -s busybox "$root/bin/$applet"; done
cp "$kernel_dir"/modules/*.ko "$kernel_dir/modules/order" "$root/modules/"
# The script and the two programs travel in the initramfs: the guest's fresh /tmp and /run hide
# the host's, where the checkout may lie.
mkdir -p "$root/vm"
cp "$here/program_in_vm.sh" "$root/vm/program_in_vm.sh"
cp "$program" "$root/vm/dalvorn-firmware-update"
cp "$plug" "$root/vm/dalvorn_vm_uhid_plug"
cat >"$root/init" <<INIT
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for module in \$(cat /modules/order); do insmod /modules/\$module; done
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000 hostroot /host
mount -t tmpfs layer /layer
mkdir -p /layer/upper /layer/work
mount -t overlay overlay -o lowerdir=/host,upperdir=/layer/upper,workdir=/layer/work /newroot
mount -t proc proc /newroot/proc
mount -t sysfs sys /newroot/sys
mount -t devtmpfs dev /newroot/dev
mkdir -p /newroot/dev/pts /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
for dir in /newroot/run /newroot/tmp /newroot/dev/shm; do mount -t tmpfs tmpfs \$dir; done
mkdir -p /newroot/opt/dalvorn-vm
cp /vm/* /newroot/opt/dalvorn-vm/
chroot /newroot /bin/sh /opt/dalvorn-vm/program_in_vm.sh /opt/dalvorn-vm/dalvorn-firmware-update \
  /opt/dalvorn-vm/dalvorn_vm_uhid_plug
echo "DALVORN-VM-EXIT \$?"
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

log "booting $package under QEMU (tcg), the host's file system shared read-only"
start=$(date +%s.%N)
status=0
timeout "$qemu_timeout" qemu-system-x86_64 -accel tcg -cpu max -m 1024 -smp 1 -nographic \
  -no-reboot -nodefaults -monitor none -kernel "$kernel_dir/vmlinuz" -initrd "$work/initrd.gz" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -append 'console=ttyS0 quiet panic=-1' -serial "file:$work/console.log" || status=$?
end=$(date +%s.%N)
seconds=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f", b - a}')

grep -oE '(guest:|uhid-plug:|DALVORN-VM-).*' "$work/console.log" | sed 's/\r$//' || true
grep -oE 'DALVORN-TRACE-PLUGGED: .*' "$work/console.log" |
  sed 's/\r$//; s/^DALVORN-TRACE-PLUGGED: //' >"$work/vm-trace-plugged.jsonl" || true
log "trace of the program: $work/vm-trace-plugged.jsonl ($(wc -l <"$work/vm-trace-plugged.jsonl") lines)"
if grep -q 'DALVORN-VM-PROGRAM-RESULT: PASS' "$work/console.log"; then
  log "PASS in ${seconds} s (boot, window, plug-in and update)"
  exit 0
fi
if [[ $status -eq 124 ]]; then
  log "FAIL: the VM did not finish within ${qemu_timeout} s"
fi
log "FAIL after ${seconds} s; console log: $work/console.log"
tail -n 40 "$work/console.log" || true
exit 1
