#!/usr/bin/env bash
# Installs what building, running and testing the program needs on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  g++ cmake ninja-build pkg-config ca-certificates \
  qt6-base-dev libgl-dev fonts-dejavu-core \
  nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev \
  libudev-dev umockdev libumockdev-dev libsystemd-dev python3-dbusmock dbus libssl-dev openssl "$@" >/dev/null
