#!/usr/bin/env bash
# deps.sh [GROUP...]: installs the Debian packages the named groups need and
# does nothing when all are present. Groups:
#   build  compilers, libraries, fonts and the tools the build itself runs
#   demo   build + a private X server, input driver and screenshots for
#          the run command (scripts/demo.sh)
#   test   build + test libraries, X server, input driver, compositor,
#          debugger and D-Bus for the test command (scripts/test.sh)
#   bench  build + the peer tools the benchmarks compare against
#   all    every group (the default)
set -euo pipefail

BUILD=(
  build-essential cmake ninja-build ccache pkg-config git python3 python3-cairo
  libcurl4-openssl-dev libjsoncpp-dev libtinyxml2-dev libeasyloggingpp-dev
  libzip-dev zlib1g-dev libstb-dev libssl-dev openssl binutils
  libcpp-httplib-dev googletest libgtest-dev libgmock-dev
  libcairo2-dev libpango1.0-dev libsdl2-dev libx11-dev libxext-dev
  fonts-noto-core fonts-noto-cjk
)
DEMO=(xvfb xauth xdotool imagemagick)
TEST=(xvfb xauth xdotool openbox xcompmgr x11-utils imagemagick dbus-daemon osslsigncode curl zip unzip lldb-14)
BENCH=(nginx libnginx-mod-http-echo aria2 axel time curl xvfb xauth xdotool)

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(all)
wanted=("${BUILD[@]}")
for group in "${groups[@]}"; do
  case "$group" in
    build) ;;
    demo) wanted+=("${DEMO[@]}") ;;
    test) wanted+=("${TEST[@]}") ;;
    bench) wanted+=("${BENCH[@]}") ;;
    all) wanted+=("${DEMO[@]}" "${TEST[@]}" "${BENCH[@]}") ;;
    *) echo "deps.sh: unknown group '$group' (build, demo, test, bench, all)" >&2; exit 2 ;;
  esac
done

missing=()
for package in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
