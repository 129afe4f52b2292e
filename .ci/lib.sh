# shellcheck shell=bash
# Shared by the CI scripts: sourced, never run.

# use_utf8_locale: gives the script, and all it starts, a UTF-8 locale of its own, whatever the
# caller's environment (a bare ssh session or container sets none). Wine maps Windows file
# names to the host's in the locale's character set: with no locale that is ASCII, and a folder
# named in Cyrillic cannot be made. sort and ls order names by it too. C.UTF-8 is part of
# Debian's C library, so it is always there.
use_utf8_locale() {
  unset LANGUAGE
  export LC_ALL=C.UTF-8 LANG=C.UTF-8
}

# step TEXT...: announces the script's next step as "== PREFIX: TEXT (at N s)", N the seconds
# since the script started (bash's SECONDS). The script sets, once:
#   step_prefix  the PREFIX (the script's file name unless set);
#   step_mark    "--" instead of "==" in a script that another one runs, to show the nesting;
#   step_times   declared as an array (step_times=()): each step appends to it the time the
#                step before took, as "  12 s  TEXT", for a table at the end.
step() {
  if [[ -n ${step_current:-} ]] && declare -p step_times >/dev/null 2>&1; then
    step_times+=("$(printf '%4d s  %s' $((SECONDS - step_started)) "$step_current")")
  fi
  step_current=$*
  step_started=$SECONDS
  echo "${step_mark:-==} ${step_prefix:-${0##*/}}: $* (at ${SECONDS} s)"
}

# install_missing PACKAGE...: installs with apt-get the packages that are not installed yet.
install_missing() {
  local missing=() p sudo=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "installing: ${missing[*]}"
  [[ $(id -u) -ne 0 ]] && sudo=sudo
  $sudo apt-get update -qq
  # Through env: sudo drops the caller's environment.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# start_xvfb FIRST LAST [SCREEN]: starts a private X server (screen 1024x768x24 unless given)
# on the first free display from FIRST to LAST, sets display and xvfb_pid and exports DISPLAY;
# the caller stops it. Fails when none is free or the server does not come up. The server
# does not reset when its last client leaves (-noreset): a client connecting during a reset
# is refused, and runs that follow each other would fail at random.
start_xvfb() {
  local n
  display=""
  for n in $(seq "$1" "$2"); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then display=$n; break; fi
  done
  [[ -n $display ]] || { echo "no free X display" >&2; return 1; }
  Xvfb ":$display" -screen 0 "${3:-1024x768x24}" -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$display
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && return 0; sleep 0.1; done
  echo "Xvfb did not start on :$display" >&2
  return 1
}
