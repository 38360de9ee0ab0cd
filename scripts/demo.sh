#!/usr/bin/env bash
# Installs what is missing, builds, and runs the installer in "debug" mode
# with a temporary APPDATA and work folder, then shows the log it wrote.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/deps.sh
scripts/build.sh "$root/build"

demo=$(mktemp -d /tmp/zembra-demo.XXXXXX)
export APPDATA="$demo/appdata" ZEMBRA_WORK_ROOT="$demo/work" ZEMBRA_REGISTRY_DIR="$demo/registry"
export XDG_RUNTIME_DIR="$demo/run"
mkdir -p "$APPDATA" "$ZEMBRA_WORK_ROOT" "$ZEMBRA_REGISTRY_DIR" "$XDG_RUNTIME_DIR"

echo "== running build/bin/ZembraMorvantaSetup debug (APPDATA=$APPDATA) =="
build/bin/ZembraMorvantaSetup debug || true
echo
echo "== log files written =="
find "$APPDATA" -name '*.log' -print | while read -r log; do
  echo "--- $log"
  cat "$log"
done
