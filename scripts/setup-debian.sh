#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tunorva needs.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev libcurl4-openssl-dev libcanberra-dev libpulse-dev
  libgtest-dev libbenchmark-dev libcpp-httplib-dev
  xvfb xdotool imagemagick x11-utils xdg-utils fonts-dejavu-core
  libchm-dev fp-utils
  nginx openssl libssl-dev libxml2-dev libtag1-dev zlib1g-dev libmpg123-dev libglib2.0-dev libxxhash-dev
  dpkg-dev lintian appstream xdg-user-dirs
  qt6-multimedia-dev pulseaudio pulseaudio-utils lame
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
