#!/usr/bin/env bash
# Loopback throughput of the devserver: N parallel range downloads of one
# file with curl, over HTTP and HTTPS, against curl reading the same file
# from disk (file://) as the ceiling. Usage: bench/devserver_throughput.sh [connections] [MiB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
connections=${1:-4}
mebibytes=${2:-1024}
work=$(mktemp -d)
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/files"
head -c $((mebibytes << 20)) /dev/urandom > "$work/files/big.bin"
"$root/build/bin/devserver" --files "$work/files" --ports-file "$work/ports.json" > "$work/out.log" 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/ports.json" ] && break; sleep 0.05; done
http=$(sed 's/.*"http":\([0-9]*\).*/\1/' "$work/ports.json")
https=$(sed 's/.*"https":\([0-9]*\).*/\1/' "$work/ports.json")

size=$((mebibytes << 20))
slice=$((size / connections))
run() {  # url -> seconds for all ranges in parallel
    local start end pids=()
    start=$(date +%s.%N)
    for i in $(seq 0 $((connections - 1))); do
        local first=$((i * slice)) last=$(((i + 1) * slice - 1))
        [ "$i" -eq $((connections - 1)) ] && last=$((size - 1))
        curl -sk -o /dev/null -r "$first-$last" "$1" &
        pids+=($!)
    done
    wait "${pids[@]}"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}
run "file://$work/files/big.bin" > /dev/null  # warm the page cache
disk=$(run "file://$work/files/big.bin")
plain=$(run "http://127.0.0.1:$http/big.bin")
tls=$(run "https://127.0.0.1:$https/big.bin")
rate() { awk -v m="$mebibytes" -v t="$1" 'BEGIN { printf "%.2f", m / 1024 / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "connections=$connections size=${mebibytes}MiB"
echo "file://  $(rate "$disk") GiB/s"
echo "http     $(rate "$plain") GiB/s  ratio to file:// $(ratio "$disk" "$plain")"
echo "https    $(rate "$tls") GiB/s  ratio to file:// $(ratio "$disk" "$tls")"
