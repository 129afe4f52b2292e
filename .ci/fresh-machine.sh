#!/usr/bin/env bash
# The README's test command's first stage on a new machine: a fresh minimal Debian 12 root
# (debootstrap --variant=minbase, the tarball the package checks keep), the commit cloned into
# it, and there, as root in a shell with no locale and nothing installed but what the scripts
# install: scripts/install-deps.sh, the default preset's configure and build, and its ctest run.
# A tool that a test or build finds on a developer's machine by chance (make, file, xxd, a
# python3 module...) and that no script installs fails here, as it would for a new user.
# Usage: .ci/fresh-machine.sh [COMMIT] [WORK]   (as root; COMMIT defaults to HEAD, WORK to
#        build/fresh-machine; the Debian tarball and apt's downloads are kept in
#        DALVORN_DEBIAN_CACHE, by default those of the package checks' Debian 12 root;
#        DALVORN_FRESH_COMMAND runs another command there instead, e.g. 'bash scripts/test.sh')
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
trap 'echo "fresh-machine.sh: failed at line $LINENO" >&2' ERR
[[ $(id -u) -eq 0 ]] || { echo "fresh-machine.sh: run as root (debootstrap, chroot)" >&2; exit 1; }
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
commit=$(git -C "$top" rev-parse --verify "${1:-HEAD}^{commit}")
work=$(realpath -m "${2:-$top/build/fresh-machine}")
cache=$(realpath -m "${DALVORN_DEBIAN_CACHE:-$top/build/package-checks/debian-12/cache}")
root=$work/root
mkdir -p "$work" "$cache"
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="fresh machine"
install_missing debootstrap git

source "$(dirname "${BASH_SOURCE[0]}")/debian-root.sh"

step "root ($(debian_mirror))"
# A machine's own /sys, and the pseudo-terminals and shared memory that tests open (umockdev
# serves its emulated device nodes through pseudo-terminals).
fresh_root bookworm /sys /dev/pts /dev/shm

step "clone $(git -C "$top" log -1 --format='%h %s' "$commit")"
git clone -q --no-local --no-checkout "$top" "$root/src"
git -C "$root/src" checkout -q --detach "$commit"

first_stage='bash scripts/install-deps.sh && cmake --preset default &&
             cmake --build --preset default && ctest --preset default -j2 --output-on-failure'
command=${DALVORN_FRESH_COMMAND:-$first_stage}
step "${DALVORN_FRESH_COMMAND:-install-deps.sh, build and ctest (default preset)}"
# As a new user's shell: no locale, only HOME, PATH and TERM.
if ! chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
     bash -c "cd /src && $command" >"$work/run.log" 2>&1; then
  grep -E -A2 '\*\*\*Failed|CMake Error|error:|^E: ' "$work/run.log" | head -n 40 >&2 || true
  tail -n 8 "$work/run.log" >&2
  echo "fresh-machine.sh: '$command' failed on a fresh Debian 12" >&2
  exit 1
fi
grep -E '^[0-9]+% tests passed' "$work/run.log" || true  # another command may run no ctest
echo "fresh machine: $SECONDS s"
