#!/usr/bin/env bash
# Runs the Windows installer under Wine as a silent install would run on Windows, in a fresh
# Wine prefix, and checks what it leaves:
#   1. INSTALLER /S: the program, licence, read-me and uninstaller in Program Files, the
#      Start-menu entry, and the Add/Remove Programs entry with version and publisher;
#   2. the installed program started once: its window comes up and is closed as its close
#      box does (close_window.exe from the Windows build), exit status 0;
#   3. the uninstaller /S: nothing of the program is left (folder, shortcut, registry entry);
#   4. the same in a German Windows (the locale de_DE.UTF-8): the Start-menu entry and the
#      installed window in German, removed by an uninstaller run in English.
# With DALVORN_SIGN_CA=CERT.pem it checks the installed uninstaller's signature against it.
# With DALVORN_INSTALLER_SCREENSHOTS=DIR it also walks through the installer's pages with the
# keyboard first, saving each page as DIR/packaging-installer-N.png, and the first page in
# German as DIR/packaging-installer-de.png.
# Wine runs in the C.UTF-8 locale, whatever the caller's (use_utf8_locale, .ci/lib.sh).
# Usage: .ci/package-wine.sh INSTALLER.exe WINDOWS_BUILD WORK
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
use_utf8_locale
trap 'echo "package-wine.sh: failed at line $LINENO" >&2' ERR
installer=$(realpath "$1")
build=$(realpath "$2")
work=$(realpath -m "$3")
# "--": run by .ci/packages.sh, inside one of its steps.
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="wine" step_mark="--"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

title="Dalvorn firmware update"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\dalvorn-firmware-update'
folder="$WINEPREFIX/drive_c/Program Files/$title"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$title.lnk"
program="$folder/dalvorn-firmware-update.exe"

start_xvfb 200 249
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
w() { "$wine" "$@" </dev/null; }
registry() { w reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v v="$1" '$1 == v {
  $1 = $2 = ""; sub(/^ +/, ""); print }'; }
wait_for() {  # wait_for SECONDS TEST...: polls the test every 0.1 s
  local tries=$(($1 * 10))
  for _ in $(seq "$tries"); do "${@:2}" && return 0; sleep 0.1; done
  return 1
}

# The helper that closes a window as its close box does (built with the Windows tests).
close_window=$build/tests/windows/close_window.exe
[[ -f $close_window ]] || cmake --build "$build" --target close_window >/dev/null

step "fresh Wine prefix"
rm -rf "$WINEPREFIX"
timeout 120 "$wine" wineboot --init </dev/null >/dev/null 2>&1 || true
timeout 60 "$wineserver" -w || true
"$wineserver" -p </dev/null >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
for value in Managed Decorated; do
  w reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f >/dev/null 2>&1
done
w wineboot >/dev/null 2>&1

if [[ -n ${DALVORN_INSTALLER_SCREENSHOTS:-} ]]; then
  step "the installer's pages"
  shots=$(realpath -m "$DALVORN_INSTALLER_SCREENSHOTS")
  mkdir -p "$shots"
  "$wine" "$installer" </dev/null >/dev/null 2>&1 &
  setup_pid=$!
  # Welcome, licence, folder, finish (the progress page passes by itself): Enter takes each
  # page's default button (Next, I Agree, Install, Finish).
  for page in 1 2 3 4; do
    id=
    wait_for 30 eval 'id=$(xdotool search --onlyvisible --name "$title Setup" | head -n 1)'
    sleep 2  # the page's controls settle
    import -window "$id" "$shots/packaging-installer-$page.png"
    xdotool windowfocus --sync "$id" key Return
    sleep 1
  done
  wait "$setup_pid"
  w "$folder/uninstall.exe" /S >/dev/null 2>&1 || true
  wait_for 30 test ! -e "$folder"
fi

step "silent install"
w "$installer" /S
[[ -f $program && -f $folder/LICENSE.txt && -f $folder/README.txt && -f $folder/uninstall.exe ]] ||
  { echo "the installer did not put the program in Program Files" >&2; exit 1; }
[[ -f $shortcut ]] || { echo "no Start-menu entry" >&2; exit 1; }
for pair in "DisplayName=$title" "DisplayVersion=1.01.0001" "Publisher=Dalvorn"; do
  value=$(registry "${pair%%=*}")
  [[ $value == "${pair#*=}" ]] ||
    { echo "Add/Remove Programs: ${pair%%=*} is '$value', not '${pair#*=}'" >&2; exit 1; }
done
echo "installed: $(ls "$folder" | tr '\n' ' ')"
if [[ -n ${DALVORN_SIGN_CA:-} ]]; then
  osslsigncode verify -in "$folder/uninstall.exe" -CAfile "$DALVORN_SIGN_CA" \
    >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; echo "the uninstaller is not signed" >&2; exit 1; }
  echo "uninstall.exe: signature verified"
fi

step "the installed program"
(cd "$folder" && exec timeout 120 "$wine" "$program" </dev/null) &
program_pid=$!
set +e
timeout 90 "$wine" "$close_window" 60 \
  "$(winepath -w "$work/installed-window.png")" </dev/null | tr -d '\r' >"$work/window.txt"
probe=$?
wait "$program_pid"
status=$?
set -e
[[ $probe -eq 0 ]] || { cat "$work/window.txt"; echo "the window did not come up" >&2; exit 1; }
[[ $status -eq 0 ]] || { echo "the installed program exited with $status" >&2; exit 1; }
grep -Fxq 'btnUpgradeFW=[Upgrade Firmware]' "$work/window.txt"
echo "started from Program Files, window closed, exit status 0"

step "silent uninstall"
# The uninstaller copies itself to the temporary folder and runs from there: wait for it.
w "$folder/uninstall.exe" /S
gone() { [[ ! -e $folder && ! -e $shortcut ]] && ! w reg query "$key" >/dev/null 2>&1; }
wait_for 30 gone || {
  echo "left after uninstalling:" >&2
  ls -R "$folder" "$shortcut" >&2 2>/dev/null || true
  w reg query "$key" >&2 2>/dev/null || true
  exit 1
}
echo "uninstalled: nothing of the program is left"

step "in a German Windows"
# The installer and the program in the Windows display's language (Wine takes it from the
# locale): the Start-menu entry is named in German, the installed window speaks German, and the
# uninstaller, run in English, still removes the entry.
"$wineserver" -k >/dev/null 2>&1 || true
de=(env LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8)
de_shortcut="${shortcut%/*}/Dalvorn Firmware-Aktualisierung.lnk"
if [[ -n ${DALVORN_INSTALLER_SCREENSHOTS:-} ]]; then
  "${de[@]}" "$wine" "$installer" </dev/null >/dev/null 2>&1 &
  setup_pid=$!
  id=
  wait_for 30 eval 'id=$(xdotool search --onlyvisible --name "Dalvorn Firmware-Aktualisierung" | head -n 1)'
  sleep 2
  import -window "$id" "$shots/packaging-installer-de.png"
  xdotool windowfocus --sync "$id" key Escape
  sleep 1
  xdotool key Return  # "Do you really want to quit?": yes
  wait "$setup_pid" || true
fi
"${de[@]}" "$wine" "$installer" /S </dev/null
[[ -f $de_shortcut ]] || { echo "no German Start-menu entry" >&2; ls "${shortcut%/*}" >&2; exit 1; }
(cd "$folder" && exec timeout 120 "${de[@]}" "$wine" "$program" </dev/null) &
program_pid=$!
timeout 90 "$wine" "$close_window" 60 "$(winepath -w "$work/installed-window-de.png")" \
  </dev/null | tr -d '\r' >"$work/window-de.txt" || true
wait "$program_pid" || true
grep -Fxq 'btnUpgradeFW=[Firmware aktualisieren]' "$work/window-de.txt" ||
  { cat "$work/window-de.txt"; echo "the installed program does not speak German" >&2; exit 1; }
"$wineserver" -k >/dev/null 2>&1 || true
w "$folder/uninstall.exe" /S
gone() { [[ ! -e $folder && ! -e $de_shortcut ]] && ! w reg query "$key" >/dev/null 2>&1; }
wait_for 30 gone || { echo "the German install left files or its entry behind" >&2; exit 1; }
echo "in German: Start-menu entry and window in German, uninstalled"
