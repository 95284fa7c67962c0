#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and says how
# long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/stage.sh
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
install_packages() {
  $SUDO apt-get update &&
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build clang libclang-rt-14-dev \
  googletest libgtest-dev libgmock-dev libbenchmark-dev \
  qt6-base-dev libgl-dev \
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation2 fonts-wqy-microhei \
  libturbojpeg0-dev libpng-dev libgif-dev \
  xvfb xauth xdotool imagemagick locales-all
}
stage packages install_packages
