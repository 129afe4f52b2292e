#!/usr/bin/env bash
# Screenshots of the window in every language (English, the pseudo-language and each language
# of po/LINGUAS), in the Qt window and in the native Win32 window under Wine, for
# docs/screenshots/languages/ (docs/languages.md shows them): each image is the window, its
# title bar included, during an update whose data block 3 of 100 the device refused, beside the
# message box that says so. The emulated runners run the update in real time on a private X
# server (Xvfb, openbox for the Qt window's title bar).
# The Qt runner takes the language from LANGUAGE; the Win32 runner from the Windows display
# language, which Wine takes from the locale (LC_ALL=de_DE.UTF-8 ...): the pseudo-language,
# which Windows has no locale for, from LANGUAGE=x-pseudo. Run it again after the texts change.
# Usage: scripts/screenshots.sh [DEFAULT_BUILD] [WINDOWS_BUILD]
#        (defaults build/default and build/windows; without a Windows build, Qt only)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/.ci/lib.sh"
use_utf8_locale
qt_build=$(realpath -m "${1:-$root/build/default}")
win_build=$(realpath -m "${2:-$root/build/windows}")
out=$root/docs/screenshots/languages
work=$(mktemp -d)
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="screenshots"

qt_runner=$qt_build/emulator/qt/dalvorn-firmware-update-emulated
win_runner=$win_build/emulator/win32/dalvorn-firmware-update-emulated.exe
[[ -x $qt_runner ]] || { echo "no Qt runner in $qt_build: build it first" >&2; exit 1; }
tools=(xvfb xdotool openbox imagemagick x11-utils)
[[ -f $win_runner ]] && tools+=(wine64 wine fonts-wine)
install_missing "${tools[@]}"

languages=(en x-pseudo $(grep -v '^#' "$root/po/LINGUAS"))
# The Windows locale that stands for each language under Wine.
declare -A locale=([de]=de_DE [es]=es_ES [fr]=fr_FR [it]=it_IT [ja]=ja_JP [pl]=pl_PL
                   [pt_BR]=pt_BR [zh_CN]=zh_CN)

start_xvfb 300 349 1280x800x24
openbox --sm-disable >/dev/null 2>&1 &
openbox_pid=$!
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
cleanup() {
  [[ -x $wineserver ]] && "$wineserver" -k >/dev/null 2>&1 || true
  kill "$openbox_pid" "$xvfb_pid" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# 100 records, the third refused.
head -c 4000 /dev/zero >"$work/Varnholt.bin"
printf '{"interfaces": [{"target": true}], "device": {"mode": "app", "refuse_block": 3}}\n' \
  >"$work/refused.json"
mkdir -p "$out"

# shoot NAME PID: once the process PID shows its window and a message box, saves both side by
# side as $out/NAME.png and dismisses the box.
shoot() {
  local name=$1 pid=$2 ids=() main="" box="" id
  for _ in $(seq 300); do
    mapfile -t ids < <(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true)
    ((${#ids[@]} >= 2)) && break
    sleep 0.1
  done
  ((${#ids[@]} >= 2)) || { echo "$name: no message box" >&2; return 1; }
  sleep 0.5  # both mapped
  # The message box belongs to the window (WM_TRANSIENT_FOR); the window to no other.
  for id in "${ids[@]}"; do
    if xprop -id "$id" WM_TRANSIENT_FOR | grep -q 'window id'; then box=$id; else main=$id; fi
  done
  [[ -n $main && -n $box ]] || { echo "$name: window not found" >&2; return 1; }
  # The box opens over the window: moved beside it, so that the window shows whole.
  xdotool windowmove "$main" 20 40 windowmove "$box" 440 40
  sleep 1
  import -window "$main" -frame "$work/main.png"
  import -window "$box" -frame "$work/box.png"
  convert "$work/main.png" "$work/box.png" -background '#2b2b2b' -gravity north \
    +append -bordercolor '#2b2b2b' -border 8 "$out/$name.png"
  xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
  wait "$pid" || true
}

step "Qt window"
for lang in "${languages[@]}"; do
  language=$lang
  [[ $lang == en ]] && language=
  LANGUAGE=$language QT_QPA_PLATFORM=xcb "$qt_runner" "$work/refused.json" \
    --program-dir "$work" --click --real-time >/dev/null 2>&1 &
  shoot "qt-$lang" $!
done

if [[ -f $win_runner ]]; then
  step "Win32 window under Wine"
  timeout 120 "$wine" wineboot --init </dev/null >/dev/null 2>&1 || true
  timeout 60 "$wineserver" -w || true
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  for value in Managed Decorated; do
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /d N /f </dev/null >/dev/null 2>&1
  done
  timeout 60 "$wineserver" -w || true
  for lang in "${languages[@]}"; do
    # Each language in a Wine of its own locale.
    env=(LC_ALL=C.UTF-8 LANG=C.UTF-8)
    [[ -n ${locale[$lang]:-} ]] && env=(LC_ALL="${locale[$lang]}.UTF-8" LANG="${locale[$lang]}.UTF-8")
    [[ $lang == x-pseudo ]] && env+=(LANGUAGE=x-pseudo)
    env "${env[@]}" "$wine" "$win_runner" "$work/refused.json" --program-dir "$work" --click \
      --real-time </dev/null >/dev/null 2>&1 &
    shoot "win32-$lang" $!
    timeout 60 "$wineserver" -w || true
  done
fi
step "done"
ls -l --time-style=+ "$out" | awk 'NR > 1 {print "  " $5, $NF}'
