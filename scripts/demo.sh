#!/usr/bin/env bash
# Installs what is missing, builds, and runs the installer unattended and
# without a window against the devserver: the signed demo package is
# downloaded, verified and installed into a temporary folder, and the
# installer's progress and log are shown.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/deps.sh
scripts/build.sh "$root/build"

demo=$(mktemp -d /tmp/zembra-demo.XXXXXX)
export APPDATA="$demo/appdata" ZEMBRA_WORK_ROOT="$demo/work" ZEMBRA_REGISTRY_DIR="$demo/registry"
export XDG_RUNTIME_DIR="$demo/run" ZEMBRA_PROGRAM_FILES="$demo/programs"
export ZEMBRA_SETTINGS_FILE="$demo/qk_downloader.cfg"
mkdir -p "$APPDATA" "$ZEMBRA_WORK_ROOT" "$ZEMBRA_REGISTRY_DIR" "$XDG_RUNTIME_DIR" "$ZEMBRA_PROGRAM_FILES"
chmod 700 "$XDG_RUNTIME_DIR"

# The devserver plays every remote service and hosts the demo package where
# the download-information reply points.
mkdir -p "$demo/site/downloads/extra"
cp build/demo/zembramorvanta_zembram.exe "$demo/site/downloads/extra/"
# Its HTTPS certificate is issued by the build's test CA (build/tls), which
# the settings name in TlsCaFile: every request is verified.
build/bin/devserver --files "$demo/site" --record "$demo/records.jsonl" \
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
  printf 'CaFile=%s\n\n[Headless]\nInstall=1\n' "$root/build/demo/ca/root.pem"
} >"$ZEMBRA_SETTINGS_FILE"

echo "== devserver at $base, demo folder $demo =="
echo "== running build/bin/ZembraMorvantaSetup debug =="
build/bin/ZembraMorvantaSetup debug | grep --line-buffered -E '^\[install\]|Tasks info|VerifyEmbeddedSignature result|Start Install CmdLine|Wait exit 3' || true
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
echo
echo "== the installer's log: $(find "$APPDATA" -path '*QKDownloader/logs/*' -name '*.log' ! -name '*_Setup_*' | head -n1) =="
