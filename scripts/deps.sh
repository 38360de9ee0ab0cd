#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the demo and the
# benchmarks need; does nothing when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git python3
  libcurl4-openssl-dev libjsoncpp-dev libtinyxml2-dev libeasyloggingpp-dev
  libzip-dev zlib1g-dev libstb-dev libssl-dev openssl
  googletest libgtest-dev libgmock-dev
  binutils osslsigncode curl zip unzip lldb-14 python3-cairo
  libcpp-httplib-dev
  libcairo2-dev libpango1.0-dev libsdl2-dev libx11-dev libxext-dev
  fonts-noto-core fonts-noto-cjk xvfb xauth xdotool openbox xcompmgr x11-utils imagemagick dbus-daemon
  nginx libnginx-mod-http-echo aria2 axel time
)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
