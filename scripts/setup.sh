#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the project needs.
# Quiet and quick when everything is already there; runs apt-get update once otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format ccache
  libssl-dev libfontconfig-dev libx11-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-pdf-dev qt6-svg-dev qt6-image-formats-plugins
  qt6-tools-dev-tools libqt6opengl6-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev libexif-dev libjpeg-turbo-progs
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth openbox fonts-dejavu-core poppler-utils dbus-daemon
  libgsf-1-dev python3-olefile libxml2-dev
  openssl
  libsodium-dev python3-nacl libzxcvbn-dev
  scdoc bash-completion file dpkg-dev
)
# The tools of the package checks (scripts/check_package.sh). A check whose tool cannot be
# installed is skipped and says so, so these never stop the build.
check_tools=(lintian desktop-file-utils appstream man-db groff-base)

missing_from() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$p"
    fi
  done
}
mapfile -t missing < <(missing_from "${packages[@]}")
mapfile -t missing_tools < <(missing_from "${check_tools[@]}")

[ ${#missing[@]} -eq 0 ] && [ ${#missing_tools[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ${#missing_tools[@]} -gt 0 ]; then
  echo "setup: installing ${missing_tools[*]}" >&2
  $SUDO apt-get install -y -qq --no-install-recommends "${missing_tools[@]}" >/dev/null ||
    echo "setup: could not install ${missing_tools[*]}; the package checks that need them are skipped" >&2
fi
