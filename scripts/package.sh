#!/usr/bin/env bash
# Builds the packages a person installs, from a clean clone, into build/packages/:
#   dalvorn-firmware-update_<version>_amd64.deb       Debian 12 and Ubuntu (CPack DEB)
#   dalvorn-firmware-update-<version>-win64.zip        the Windows program, licence, read-me
#   dalvorn-firmware-update-<version>-win64-setup.exe  the Windows installer (NSIS, 64-bit)
# Usage: scripts/package.sh [-DOPTION=VALUE...]
#   The options go to both builds, for a maker's own package:
#     -DDALVORN_FIRMWARE_IMAGE=PATH   ships PATH as Varnholt.bin next to the program
#     -DDALVORN_FIRMWARE_PUBLIC_KEYS=KEY.pub.pem[,KEY2.pub.pem...]   builds the maker's public
#                  keys in: the programs take only an image signed with one of them, and
#                  PATH.sig (scripts/sign-firmware.sh) ships as Varnholt.bin.sig, verified here
#     Relative paths are taken from the folder the script is started in.
#     -DDALVORN_VENDOR_ID=0xVVVV -DDALVORN_APP_PRODUCT_ID=0xPPPP -DDALVORN_BOOT_PRODUCT_ID=0xPPPP
# Environment:
#   DALVORN_LINUX_BUILD (build/package), DALVORN_WINDOWS_BUILD (build/windows, the folder of
#   the README's Windows build and of .ci/windows.sh), DALVORN_PACKAGES (build/packages);
#   DALVORN_SIGN_CERT, DALVORN_SIGN_KEY...: sign the Windows files (scripts/sign-windows.sh);
#   DALVORN_PACKAGE_TARGETS: "deb windows" (default), or only one of them.
set -euo pipefail
# The files the options name, from the caller's folder (the builds run from the source tree's).
options=()
for option in "$@"; do
  case $option in
    -DDALVORN_FIRMWARE_IMAGE=?* | -DDALVORN_FIRMWARE_PUBLIC_KEYS=?*)
      name=${option%%=*} files=() IFS=',;'
      read -ra files <<<"${option#*=}"
      unset IFS
      for i in "${!files[@]}"; do files[i]=$(realpath -m -- "${files[i]}"); done
      option="$name=$(IFS=';'; echo "${files[*]}")"
      ;;
  esac
  options+=("$option")
done
set -- "${options[@]}"
cd "$(dirname "$0")/.."
root=$PWD
source .ci/lib.sh
linux_build=$(realpath -m "${DALVORN_LINUX_BUILD:-build/package}")
windows_build=$(realpath -m "${DALVORN_WINDOWS_BUILD:-build/windows}")
out=$(realpath -m "${DALVORN_PACKAGES:-build/packages}")
targets=${DALVORN_PACKAGE_TARGETS:-deb windows}
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="package"

step "packages"
deps=(cmake ninja-build dpkg-dev file openssl gettext)
[[ $targets == *deb* ]] && deps+=(g++ pkg-config qt6-base-dev libgl-dev libudev-dev
                                  nlohmann-json3-dev libssl-dev)
[[ $targets == *windows* ]] && deps+=(g++-mingw-w64-x86-64-posix nlohmann-json3-dev
                                      googletest nsis zip osslsigncode)
install_missing "${deps[@]}"
mkdir -p "$out"

if [[ $targets == *deb* ]]; then
  step "Debian package: build"
  cmake --preset package -B "$linux_build" "$@" >/dev/null
  cmake --build "$linux_build" -j2 --target dalvorn-firmware-update
  step "Debian package: cpack"
  rm -f "$linux_build"/packages/*.deb
  (cd "$linux_build" && cpack -G DEB >/dev/null)
  cp "$linux_build"/packages/*.deb "$out/"
fi

if [[ $targets == *windows* ]]; then
  step "Windows: build"
  cmake --preset windows -B "$windows_build" "$@" >/dev/null
  cmake --build "$windows_build" -j2 --target dalvorn-firmware-update
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows_build/CMakeCache.txt")
  name=dalvorn-firmware-update-$version-win64
  stage=$windows_build/stage/$name
  step "Windows: stripped and signed files"
  rm -rf "$windows_build/stage"
  cmake --install "$windows_build" --strip --prefix "$stage" >/dev/null
  scripts/sign-windows.sh "$stage/dalvorn-firmware-update.exe"
  step "Windows: ZIP"
  rm -f "$out/$name.zip"
  (cd "$windows_build/stage" && zip -qrX "$out/$name.zip" "$name")
  step "Windows: installer"
  sign=()
  [[ -n ${DALVORN_SIGN_CERT:-} ]] && sign=(-DSIGN="$root/scripts/sign-windows.sh")
  makensis -V2 "${sign[@]}" -DSTAGE="$stage" -DOUTFILE="$out/$name-setup.exe" \
    "$windows_build/installer.nsi"
  scripts/sign-windows.sh "$out/$name-setup.exe"
fi

step "done"
# (Only the targets built are there: ls fails on the others' names.)
(cd "$out" && ls -l --time-style=+ -- *.deb *.zip *.exe 2>/dev/null | awk '{print "  " $5, $NF}') ||
  true
