#!/usr/bin/env bash
# demo.sh [--headless]: installs what is missing, builds, and runs the
# installer against the devserver, which hosts the signed demo package: the
# package is downloaded, verified and installed into a temporary folder and
# the demo product is started.
#   A display (DISPLAY or WAYLAND_DISPLAY): the wizard opens there; click
#     "Install" and watch it.
#   No display: the wizard runs on a private X server (xvfb-run); this script
#     clicks through it and writes a screenshot of each page to the demo
#     folder's shots/.
#   --headless, or no display and no Xvfb: the install flow runs without a
#     window and prints its progress.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

mode=window
[ "${1:-}" = "--headless" ] && mode=headless
if [ "$mode" = window ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  mode=xvfb
fi

if [ "$mode" = headless ]; then scripts/deps.sh build; else scripts/deps.sh demo; fi
command -v xvfb-run >/dev/null || { [ "$mode" = xvfb ] && mode=headless; }
TARGETS="ZembraMorvantaSetup devserver demo_package skinshot" scripts/build.sh "$root/build"

demo=$(mktemp -d /tmp/zembra-demo.XXXXXX)
export APPDATA="$demo/appdata" ZEMBRA_WORK_ROOT="$demo/work" ZEMBRA_REGISTRY_DIR="$demo/registry"
export XDG_RUNTIME_DIR="$demo/run" ZEMBRA_PROGRAM_FILES="$demo/programs"
export ZEMBRA_SETTINGS_FILE="$demo/qk_downloader.cfg"
# The demo product shows a window for this many seconds once started.
export ZEMBRA_DEMO_PRODUCT_WINDOW=4
mkdir -p "$APPDATA" "$ZEMBRA_WORK_ROOT" "$ZEMBRA_REGISTRY_DIR" "$XDG_RUNTIME_DIR" "$ZEMBRA_PROGRAM_FILES"
chmod 700 "$XDG_RUNTIME_DIR"

# The devserver plays every remote service and hosts the demo package where
# the download-information reply points. With a window the package comes at
# 2 MiB/s a range, so the progress bar can be watched.
mkdir -p "$demo/site/downloads/extra"
cp build/demo/zembramorvanta_zembram.exe "$demo/site/downloads/extra/"
if [ "$mode" = headless ]; then
  echo '[]' >"$demo/rules.json"
else
  echo '[{"path": "/downloads/extra/zembramorvanta_zembram.exe", "rateBytesPerSecond": 2097152}]' >"$demo/rules.json"
fi
# Its HTTPS certificate is issued by the build's test CA (build/tls), which
# the settings name in TlsCaFile: every request is verified.
build/bin/devserver --files "$demo/site" --record "$demo/records.jsonl" --rules "$demo/rules.json" \
  --tls-cert build/tls/server.pem --tls-key build/tls/server-key.pem \
  --ports-file "$demo/ports.json" --exit-with-parent >"$demo/devserver.out" 2>&1 &
devserver=$!
trap 'kill $devserver 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$demo/ports.json" ] && break; sleep 0.1; done
port=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["https"])' "$demo/ports.json")
base=https://127.0.0.1:$port

{
  printf '[Settings]\nTestEnv=0\nAutoRun=0\nCrashTest=0\n\n[Hosts]\n'
  for key in QueryGlobal QueryRegional QueryTest Content ContentTest ErrorReport ErrorReportTest \
             LogUpload Collector CollectorTest GA4; do
    printf '%s=%s\n' "$key" "$base"
  done
  printf 'TlsCaFile=%s\n' "$root/build/tls/ca.pem"
  printf 'CaFile=%s\n' "$root/build/demo/ca/root.pem"
  [ "$mode" = headless ] && printf '\n[Headless]\nInstall=1\n'
} >"$ZEMBRA_SETTINGS_FILE"

echo "== devserver at $base, demo folder $demo =="
case $mode in
  headless)
    echo "== running build/bin/ZembraMorvantaSetup debug without a window =="
    build/bin/ZembraMorvantaSetup debug |
      grep --line-buffered -E '^\[install\]|Tasks info|VerifyEmbeddedSignature result|Start Install CmdLine|Wait exit 3' || true
    ;;
  window)
    echo "== the wizard opens on your display: click \"Install\" =="
    build/bin/ZembraMorvantaSetup debug >"$demo/installer.out" 2>&1 || true
    ;;
  xvfb)
    echo "== no display: the wizard runs under xvfb-run; screenshots go to $demo/shots =="
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" scripts/demo_drive.sh "$demo" || true
    ;;
esac
echo
echo "== installed files =="
find "$ZEMBRA_PROGRAM_FILES" -type f -printf '%P\n' | sort
sleep 1
note=$(find "$ZEMBRA_PROGRAM_FILES" -name ZembraMorvanta.started | head -n1)
[ -n "$note" ] && { echo "== the product ran =="; cat "$note"; }
echo
echo "== requests the devserver received =="
python3 - "$demo/records.jsonl" <<'PY'
import collections, json, sys
counts = collections.Counter()
for line in open(sys.argv[1]):
    record = json.loads(line)
    counts[(record["method"], record["path"], record["status"])] += 1
for (method, path, status), count in sorted(counts.items()):
    print(f"{count:5d}  {method:5s} {path}  -> {status}")
PY
if [ -d "$demo/shots" ]; then
  echo
  echo "== screenshots =="
  ls -1 "$demo/shots"/*.png
fi
echo
echo "== the installer's log: $(find "$APPDATA" -path '*QKDownloader/logs/*' -name '*.log' ! -name '*_Setup_*' | sort | head -n1) =="
