#!/usr/bin/env bash
# Checks under Wine that the Windows uninstaller removes only what its installer put in place,
# in a fresh Wine prefix for each installer:
#   - an installer built without a firmware image: after a silent install, a person copies
#     Varnholt.bin (and Varnholt.bin.sig) into the program's folder; the silent uninstall removes
#     the program, read-me, licence, uninstaller, Start-menu entry and Add/Remove Programs entry,
#     and leaves the person's files and the folder;
#   - an installer built with an image (-DDALVORN_FIRMWARE_IMAGE): the silent uninstall leaves
#     nothing, the image included.
# Each installer is told apart by what its install puts in the folder. Both kinds must be given.
# Wine runs in the C.UTF-8 locale, as in .ci/package-wine.sh.
# Usage: .ci/package-wine-uninstall.sh WORK INSTALLER.exe INSTALLER.exe
set -Eeuo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
use_utf8_locale
trap 'echo "package-wine-uninstall.sh: failed at line $LINENO" >&2' ERR
(($# >= 2)) || { echo "usage: $0 WORK INSTALLER.exe..." >&2; exit 64; }
work=$(realpath -m "$1")
mkdir -p "$work"
shift
# "--": run by .ci/packages.sh, inside one of its steps.
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="wine uninstall" step_mark="--"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

title="Dalvorn firmware update"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\dalvorn-firmware-update'
install_missing wine64 wine xvfb

start_xvfb 250 299
cleanup() {
  [[ -n ${WINEPREFIX:-} ]] && "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
w() { "$wine" "$@" </dev/null; }
wait_for() {  # wait_for SECONDS TEST...: polls the test every 0.1 s
  local tries=$(($1 * 10))
  for _ in $(seq "$tries"); do "${@:2}" && return 0; sleep 0.1; done
  return 1
}

fresh_prefix() {  # fresh_prefix NAME: a new Wine prefix in WORK/NAME, its server running
  [[ -n ${WINEPREFIX:-} ]] && "$wineserver" -k >/dev/null 2>&1 || true
  export WINEPREFIX=$work/$1
  rm -rf "$WINEPREFIX"
  timeout 120 "$wine" wineboot --init </dev/null >/dev/null 2>&1 || true
  timeout 60 "$wineserver" -w || true
  "$wineserver" -p </dev/null >/dev/null 2>&1 || true
  w wineboot >/dev/null 2>&1
  folder="$WINEPREFIX/drive_c/Program Files/$title"
  shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$title.lnk"
}

# Nothing of the installer's own is left: program, read-me, licence, uninstaller, shortcut and
# registry entry (the uninstaller copies itself to the temporary folder and runs from there).
installers_files_gone() {
  [[ ! -e $folder/dalvorn-firmware-update.exe && ! -e $folder/README.txt &&
     ! -e $folder/LICENSE.txt && ! -e $folder/uninstall.exe && ! -e $shortcut ]] &&
    ! w reg query "$key" >/dev/null 2>&1
}

checked_without=0 checked_with=0
n=0
for installer in "$@"; do
  installer=$(realpath "$installer")
  n=$((n + 1))
  step "$(basename "$installer"): fresh prefix, silent install"
  fresh_prefix "prefix-$n"
  w "$installer" /S
  [[ -f $folder/dalvorn-firmware-update.exe && -f $folder/uninstall.exe ]] ||
    { echo "the installer did not put the program in Program Files" >&2; exit 1; }
  if [[ -f $folder/Varnholt.bin ]]; then
    step "shipped an image: the silent uninstall leaves nothing"
    w "$folder/uninstall.exe" /S
    wait_for 30 test ! -e "$folder" || {
      echo "left after uninstalling a package that shipped the image:" >&2
      ls -la "$folder" >&2
      exit 1
    }
    installers_files_gone
    checked_with=1
  else
    step "shipped no image: a person's Varnholt.bin stays after the silent uninstall"
    printf 'the person\047s own firmware image\n' >"$folder/Varnholt.bin"
    printf 'its signature\n' >"$folder/Varnholt.bin.sig"
    w "$folder/uninstall.exe" /S
    wait_for 30 installers_files_gone || {
      echo "the uninstaller did not remove its own files:" >&2
      ls -la "$folder" >&2 || true
      exit 1
    }
    [[ $(cat "$folder/Varnholt.bin") == "the person's own firmware image" &&
       $(cat "$folder/Varnholt.bin.sig") == "its signature" ]] ||
      { echo "the uninstaller removed the person's image from $folder" >&2; exit 1; }
    [[ $(ls "$folder" | tr '\n' ' ') == "Varnholt.bin Varnholt.bin.sig " ]] ||
      { echo "left in the folder: $(ls "$folder")" >&2; exit 1; }
    checked_without=1
  fi
done
if ((checked_without == 0 || checked_with == 0)); then
  echo "give one installer built without a firmware image and one built with one" >&2
  exit 1
fi
echo "uninstall: only the installer's own files removed, a person's image kept (${SECONDS} s)"
