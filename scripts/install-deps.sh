#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# when any of them is missing. Safe to run again: installed packages are kept.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6gui6 qt6-qpa-plugins
  libgtest-dev libgmock-dev googletest
  zlib1g-dev libpng-dev libjpeg-dev libgif-dev
  fonts-dejavu-core fonts-wqy-microhei fonts-ipafont-gothic
  qt6-translations-l10n
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "These packages are missing and this is not root: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
