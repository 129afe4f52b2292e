#!/usr/bin/env bash
# The packages a person installs, built from the sources and checked as distributions check
# theirs. Each step fails the run when its check fails:
#   1. installs the tools it needs with apt-get (only what is missing);
#   2. builds the .deb, the ZIP and the installer with scripts/package.sh, the Windows files
#      signed with a throwaway self-signed certificate; checks the signatures (osslsigncode
#      verify) and the ZIP's contents;
#   3. lintian on the .deb: no error or warning (overrides: packaging/linux/lintian-overrides);
#   4. desktop-file-validate and appstreamcli validate --no-net on the packaged files;
#   5. the .deb in a fresh minimal Debian 12 root and in a Debian 13 one
#      (.ci/package-debian-root.sh), the same .deb in both;
#   6. the installer under Wine (.ci/package-wine.sh): its pages, a silent install, the program
#      started once, a silent uninstall;
#   7. a .deb built with a throwaway maker's key and signed image, in a Debian 12 root: a changed
#      image refused, the shipped one taken (.ci/package-signed.sh);
#   8. the uninstaller under Wine, of the installer above (no image) and of one that ships an
#      image: a person's own Varnholt.bin stays (.ci/package-wine-uninstall.sh).
# Screenshots of the installed programs and of the installer's pages are left in the work
# folder (debian-12/installed-window.png, debian-13/..., wine/installed-window.png,
# screenshots/).
# Usage: .ci/packages.sh [WINDOWS_BUILD]   (default build/windows, the folder of .ci/windows.sh)
# Environment: DALVORN_LINUX_BUILD and DALVORN_PACKAGES as for scripts/package.sh;
# DALVORN_PACKAGE_CHECKS: the checks' work folder (build/package-checks), which also keeps
# the Debian roots and the downloaded packages for the next run.
set -euo pipefail
trap 'echo "packages.sh: failed at line $LINENO" >&2' ERR
cd "$(dirname "$0")/.."
source .ci/lib.sh
use_utf8_locale  # Wine, and the order sort gives the ZIP's files
export DALVORN_WINDOWS_BUILD=$(realpath -m "${1:-build/windows}")
export DALVORN_PACKAGES=$(realpath -m "${DALVORN_PACKAGES:-build/packages}")
work=$(realpath -m "${DALVORN_PACKAGE_CHECKS:-build/package-checks}")
mkdir -p "$work"
# shellcheck disable=SC2034  # read by step (.ci/lib.sh)
step_prefix="packages"
step_times=()  # the table printed at the end

step "tools"
tools=(lintian desktop-file-utils appstream debootstrap xvfb xdotool x11-utils openbox imagemagick
       openssl osslsigncode nsis zip unzip wine64 wine fonts-wine dpkg-dev)
install_missing "${tools[@]}"

step "build the packages (signing with a throwaway certificate)"
openssl req -x509 -newkey rsa:3072 -nodes -days 2 -subj "/CN=Dalvorn firmware update CI" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/sign-key.pem" \
  -out "$work/sign-cert.pem" 2>/dev/null
rm -f "$DALVORN_PACKAGES"/*
DALVORN_SIGN_CERT=$work/sign-cert.pem DALVORN_SIGN_KEY=$work/sign-key.pem scripts/package.sh
deb=$(ls "$DALVORN_PACKAGES"/*.deb)
zip=$(ls "$DALVORN_PACKAGES"/*-win64.zip)
installer=$(ls "$DALVORN_PACKAGES"/*-win64-setup.exe)

step "signatures and ZIP contents"
rm -rf "$work/zip" && mkdir -p "$work/zip"
unzip -q "$zip" -d "$work/zip"
top=$(basename "$zip" .zip)
(cd "$work/zip/$top" && ls) | sort | tr '\n' ' ' | tee "$work/zip-contents.txt"
echo
[[ $(cat "$work/zip-contents.txt") == "LICENSE.txt README.txt dalvorn-firmware-update.exe " ]] ||
  { echo "the ZIP holds other files than the program, LICENSE.txt and README.txt" >&2; exit 1; }
if x86_64-w64-mingw32-objdump -h "$work/zip/$top/dalvorn-firmware-update.exe" |
   grep -q '\.debug_'; then
  echo "the released program still has its debug information" >&2; exit 1
fi
for exe in "$work/zip/$top/dalvorn-firmware-update.exe" "$installer"; do
  osslsigncode verify -in "$exe" -CAfile "$work/sign-cert.pem" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; echo "$(basename "$exe"): bad signature" >&2; exit 1; }
  echo "$(basename "$exe"): signature verified"
done

step "lintian"
status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v "root privileges" "$work/lintian.txt" || true
[[ $status -eq 0 ]] || { echo "lintian reports errors or warnings" >&2; exit 1; }

step "desktop entry and metainfo"
rm -rf "$work/deb" && dpkg-deb -x "$deb" "$work/deb"
desktop-file-validate "$work"/deb/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/deb/usr/share/metainfo/*.metainfo.xml
version=$(dpkg-deb -f "$deb" Version)
grep -q "^## \[$version\]" CHANGELOG.md ||
  { echo "CHANGELOG.md has no entry for $version" >&2; exit 1; }

step "the .deb in a fresh Debian 12"
.ci/package-debian-root.sh "$deb" "$work/debian-12" bookworm

step "the .deb in a fresh Debian 13"
.ci/package-debian-root.sh "$deb" "$work/debian-13" trixie

step "the installer under Wine"
DALVORN_INSTALLER_SCREENSHOTS=$work/screenshots DALVORN_SIGN_CA=$work/sign-cert.pem \
  .ci/package-wine.sh "$installer" "$DALVORN_WINDOWS_BUILD" "$work/wine"

step "a package with the maker's key refuses a changed image (Debian 12)"
.ci/package-signed.sh --build "$work/signed/signed.deb" "$work/debian-12"

step "the uninstaller keeps a person's image"
# A second installer of the same staged files, this one shipping an image, as a maker's
# package built with -DDALVORN_FIRMWARE_IMAGE would: the uninstaller is checked with and
# without one.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$DALVORN_WINDOWS_BUILD/CMakeCache.txt")
stage=$DALVORN_WINDOWS_BUILD/stage/dalvorn-firmware-update-$version-win64
rm -rf "$work/stage-with-image" && cp -r "$stage" "$work/stage-with-image"
head -c 4000 /dev/urandom >"$work/stage-with-image/Varnholt.bin"
sed 's/^!define WITH_IMAGE 0$/!define WITH_IMAGE 1/' "$DALVORN_WINDOWS_BUILD/installer.nsi" \
  >"$DALVORN_WINDOWS_BUILD/installer-with-image.nsi"
grep -q '^!define WITH_IMAGE 1$' "$DALVORN_WINDOWS_BUILD/installer-with-image.nsi"
makensis -V2 -DSTAGE="$work/stage-with-image" -DOUTFILE="$work/with-image-setup.exe" \
  "$DALVORN_WINDOWS_BUILD/installer-with-image.nsi"
.ci/package-wine-uninstall.sh "$work/wine-uninstall" "$installer" "$work/with-image-setup.exe"

step "done"
echo "packages: all checks passed in ${SECONDS} s"
printf '%s\n' "${step_times[@]}"
(cd "$DALVORN_PACKAGES" && ls -l --time-style=+ | awk 'NR > 1 {print "  " $5, $NF}')
