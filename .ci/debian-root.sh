# shellcheck shell=bash
# shellcheck disable=SC2154  # root, cache and work: set by the script that sources this
# A fresh minimal Debian root to install a package into, for the package checks; sourced, never
# run. The script sets root (the root's folder), cache (kept between runs: the debootstrap
# tarball of each release and apt's downloads) and work (scratch) before it calls these.

# The first Debian mirror of this machine's apt sources (none: deb.debian.org);
# DALVORN_DEBIAN_MIRROR overrides it.
debian_mirror() {
  local mirror
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v '^[[:space:]]*#' |
    grep -oE 'https?://[^ ]*/debian/?( |$)' | grep -v security | head -n 1 | tr -d ' ' || true)
  echo "${DALVORN_DEBIAN_MIRROR:-${mirror:-http://deb.debian.org/debian}}"
}

# Mounts are undone and the processes in root_pids stopped when the script exits.
root_mounts=()
root_pids=()
release_root() {
  local pid i
  for pid in "${root_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for ((i = ${#root_mounts[@]} - 1; i >= 0; i--)); do
    umount "${root_mounts[i]}" 2>/dev/null || umount -l "${root_mounts[i]}" 2>/dev/null || true
  done
}
trap release_root EXIT

mount_in_root() {  # mount_in_root TARGET MOUNT-ARGUMENTS...
  mkdir -p "$root$1"
  mount "${@:2}" "$root$1"
  root_mounts+=("$root$1")
}

# in_root COMMAND...: runs a command in the root with a bare environment and a UTF-8 locale.
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

# fresh_root SUITE [MOUNT...]: unpacks a fresh root of SUITE (bookworm, trixie) from its
# debootstrap --variant=minbase tarball, made once (checked against debian-archive-keyring), and
# mounts /proc, /dev, apt's downloads and the X server's sockets in it, and each extra MOUNT
# (a path bound to the same path, e.g. /dev/pts).
fresh_root() {
  local suite=$1 tarball=$cache/$1-minbase.tar target
  mkdir -p "$cache/archives/partial"
  if [[ ! -f $tarball ]]; then
    rm -rf "$work/bootstrap"
    debootstrap --variant=minbase --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
      "$suite" "$work/bootstrap" "$(debian_mirror)" >"$work/debootstrap.log" 2>&1 ||
      { tail -n 20 "$work/debootstrap.log"; return 1; }
    tar -C "$work/bootstrap" -cf "$tarball.part" .
    mv "$tarball.part" "$tarball"
    rm -rf "$work/bootstrap"
  fi
  rm -rf "$root" && mkdir -p "$root"
  tar -C "$root" -xf "$tarball"
  echo "Debian $(cat "$root/etc/debian_version")"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount_in_root /proc -t proc proc
  mount_in_root /dev --bind /dev
  for target in "${@:2}"; do mount_in_root "$target" --bind "$target"; done
  mount_in_root /var/cache/apt/archives --bind "$cache/archives"
  # The X server makes its socket folder when it starts, which may be after this.
  [[ -d /tmp/.X11-unix ]] || install -d -m 1777 /tmp/.X11-unix
  mount_in_root /tmp/.X11-unix --bind /tmp/.X11-unix
}

# start_desktop FIRST LAST: a private X server (a free display from FIRST to LAST, 800x600) with
# a window manager (openbox) for the root's programs, both stopped at exit, and a runtime folder
# for root in the root.
start_desktop() {
  start_xvfb "$1" "$2" 800x600x24
  root_pids+=("$xvfb_pid")
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  root_pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  mkdir -p -m 700 "$root/run/user/0"
}
