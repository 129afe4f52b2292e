#!/usr/bin/env bash
# Installs what building, running and testing the program needs on Debian 12, and the packages
# named as arguments: only those not installed yet (apt-get, through sudo unless run as root).
# appstream brings the metainfo ITS rules that xgettext and msgfmt read for the translations.
# Usage: scripts/install-deps.sh [PACKAGE...]
set -euo pipefail
# shellcheck source=../.ci/lib.sh source-path=SCRIPTDIR
source "$(dirname "${BASH_SOURCE[0]}")/../.ci/lib.sh"
install_missing \
  g++ cmake ninja-build pkg-config ca-certificates \
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-noto-cjk qt6-translations-l10n gettext \
  nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev \
  libudev-dev umockdev libumockdev-dev libsystemd-dev python3-dbusmock dbus libssl-dev openssl \
  appstream \
  "$@"
