#!/usr/bin/env bash
# Installs the Debian package into a fresh minimal Debian root (12, bookworm, unless SUITE
# names another release: trixie for 13), as a person would on a new system, and uses it there:
#   1. debootstrap --variant=minbase (cached as a tarball in WORK/cache; each run unpacks a
#      fresh copy), then apt-get install ./PACKAGE.deb --no-install-recommends: its declared
#      dependencies alone must bring everything the program needs; ldd finds every library of
#      the program and of Qt's X11 platform plugin;
#   2. starts the program with the desktop entry's command (/usr/bin/...) on a private Xvfb
#      with a window manager (openbox), waits for its window, checks that it comes up with
#      blank labels (no device), keeps a screenshot (WORK/installed-window.png), clicks the
#      close box with xdotool and expects exit status 0;
#   3. purges the package and checks that none of its files is left.
# Usage: .ci/package-debian-root.sh PACKAGE.deb WORK [SUITE]   (as root; DALVORN_DEBIAN_MIRROR
#        overrides the mirror, which is otherwise the first Debian one of the apt sources; the
#        release is checked against debian-archive-keyring, which must know its key)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
use_utf8_locale
trap 'echo "package-debian-root.sh: failed at line $LINENO" >&2' ERR
[[ $(id -u) -eq 0 ]] || { echo "package-debian-root.sh: run as root (debootstrap, chroot)" >&2; exit 1; }
deb=$(realpath "$1")
work=$(realpath -m "$2")
suite=${3:-bookworm}
name=$(dpkg-deb -f "$deb" Package)
root=$work/root
cache=$work/cache
mkdir -p "$cache/archives/partial"
# "--": run by .ci/packages.sh, inside one of its steps.
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="debian $suite root" step_mark="--"

source "$(dirname "${BASH_SOURCE[0]}")/debian-root.sh"

step "root ($(debian_mirror))"
fresh_root "$suite"

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" \
  >"$work/install.log" 2>&1 || { tail -n 30 "$work/install.log"; exit 1; }
grep -c "^Setting up" "$work/install.log" | sed 's/^/packages set up: /'
# shellcheck disable=SC2016  # dpkg-query's fields, not the shell's
in_root dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version}\n' 'libqt6core6*' |
  awk '$1 == "ii" {print "Qt: " $2, $3}'

step "libraries (ldd)"
# The program and the X11 platform plugin Qt loads at run time: every library found.
plugin=$(in_root sh -c 'ls /usr/lib/*/qt6/plugins/platforms/libqxcb.so' 2>/dev/null || true)
[[ -n $plugin ]] || { echo "Qt's X11 platform plugin (libqxcb.so) is not installed" >&2; exit 1; }
for file in "/opt/$name/$name" "$plugin"; do
  in_root ldd "$file" >"$work/ldd.txt" 2>&1 || { cat "$work/ldd.txt"; exit 1; }
  if grep -q "not found" "$work/ldd.txt"; then
    grep "not found" "$work/ldd.txt" >&2
    echo "$file: libraries not found" >&2
    exit 1
  fi
  echo "$file: $(grep -c '=>' "$work/ldd.txt") libraries, all found"
done

step "the program from the desktop entry's command"
command=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$name.desktop" | sed 's/ %[a-zA-Z]//g')
[[ $(in_root sh -c "command -v ${command%% *}") == /usr/bin/$name ]] ||
  { echo "the desktop entry's command is not /usr/bin/$name" >&2; exit 1; }
start_desktop 150 199
in_root env DISPLAY=":$display" XDG_RUNTIME_DIR=/run/user/0 sh -c "$command" \
  >"$work/program.log" 2>&1 &
program=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Firmware Update$' 2>/dev/null | head -n 1) || true
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { cat "$work/program.log"; echo "no window came up" >&2; exit 1; }
sleep 1  # let the window manager frame it and the program paint it
geometry() { xwininfo -id "$window" | sed -n "s/^ *$1: *//p"; }
X=$(geometry 'Absolute upper-left X') Y=$(geometry 'Absolute upper-left Y')
WIDTH=$(geometry Width) HEIGHT=$(geometry Height)
echo "window $WIDTH x $HEIGHT at $X,$Y"
import -window root "$work/installed-screen.png"
# The window with its frame (openbox: a title bar of 20 px and a border of 1).
frame="$((WIDTH + 2))x$((HEIGHT + 22))+$((X - 1))+$((Y - 21))"
convert "$work/installed-screen.png" -crop "$frame" \
  +repage "$work/installed-window.png"
# The four value labels (lblManuf...: left 2100 twips, tops 240/600/960/1320, 330 high, at least
# 3060 wide) are blank: one colour each, inside a margin.
for top in 240 600 960 1320; do
  colours=$(convert "$work/installed-screen.png" \
    -crop "190x14+$((X + 2100 / 15 + 4))+$((Y + top / 15 + 4))" +repage -format %k info:)
  [[ $colours -eq 1 ]] || { echo "a value label at $top twips is not blank" >&2; exit 1; }
done
echo "the value labels are blank (no device)"

# The close box is at the right end of the title bar.
xdotool mousemove "$((X + WIDTH - 10))" "$((Y - 10))" click 1
status=0
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && { echo "the close box did not close the window" >&2; exit 1; }
wait "$program" || status=$?
[[ $status -eq 0 ]] ||
  { cat "$work/program.log"; echo "the program exited with $status" >&2; exit 1; }
echo "closed with its close box, exit status 0"

step "apt-get purge"
in_root apt-get purge -y -qq "$name" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; exit 1; }
state=$(in_root dpkg-query -W -f='${db:Status-Status}' "$name" 2>/dev/null || true)
[[ -z $state || $state == not-installed ]] || { echo "$name is still $state" >&2; exit 1; }
# Its files and links, and its own folder; the shared folders stay for other packages.
left=$( (dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}'; echo "/opt/$name") |
  while read -r path; do [[ -e $root$path || -L $root$path ]] && echo "$path"; done || true)
[[ -z $left ]] || { echo "left after purge:"; echo "$left"; exit 1; } >&2
echo "purged: nothing of $name is left"
