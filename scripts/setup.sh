#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the project needs.
# Quiet and quick when everything is already there; runs apt-get update once otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format ccache
  libssl-dev libfontconfig-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-pdf-dev qt6-svg-dev qt6-image-formats-plugins
  qt6-tools-dev-tools libqt6opengl6-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev libexif-dev libjpeg-turbo-progs
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core poppler-utils dbus-daemon
  libgsf-1-dev python3-olefile libxml2-dev
  openssl
  libsodium-dev python3-nacl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
