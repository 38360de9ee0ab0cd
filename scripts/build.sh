#!/usr/bin/env bash
# build.sh [BUILD_DIR] [extra cmake options...]: configures and builds
# everything, or only the targets named in TARGETS (blank-separated).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
# Paths inside the tree reach the compiler cache as relative ones, so every
# checkout of the project (CI's fresh clone too) shares cached objects.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" ${TARGETS:+--target $TARGETS}
