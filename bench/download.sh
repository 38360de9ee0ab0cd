#!/usr/bin/env bash
# download.sh - the installer's download engine (through its command-line
# driver, build/bin/zembra-download) against curl, aria2c and axel, all
# fetching the same file from one local nginx in the same run, and its MD5
# check against openssl. Prints wall time, MiB/s, CPU seconds (and per GiB)
# and peak RSS of every client (median of RUNS, outputs md5-checked), how
# our engine wrote the package (write-call size, bytes, calls and write-outs), our
# ratios to the peers and whether each target is met:
#   plain: MiB/s >= 1.3 x the best peer; capped, capped_rtt: >= 1.0 x;
#   every scenario: CPU per GiB <= aria2c's, peak RSS <= aria2c's.
#
# Scenarios (nginx on 127.0.0.1 only):
#   plain       static file, no limits
#   capped      limit_rate RATE per connection
#   capped_rtt  as capped, plus TTFB_MS before every response (one round
#               trip per request; needs libnginx-mod-http-echo)
#
# Knobs: SIZE_MIB [1024] RUNS [3] SCENARIOS ["plain capped capped_rtt"]
#        RATE [40m] TTFB_MS [40] PORT_BASE [28440] BUILD_DIR [build]
#        KEEP_WORK [0]
# Installs what is missing through scripts/deps.sh and builds the driver.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
SIZE_MIB=${SIZE_MIB:-1024}
RUNS=${RUNS:-3}
SCENARIOS=${SCENARIOS:-"plain capped capped_rtt"}
RATE=${RATE:-40m}
TTFB_MS=${TTFB_MS:-40}
PORT_BASE=${PORT_BASE:-28440}
BUILD_DIR=${BUILD_DIR:-$root/build}
KEEP_WORK=${KEEP_WORK:-0}

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { log "ERROR: $*"; exit 1; }

"$root/scripts/deps.sh" bench || die "could not install the packages (scripts/deps.sh)"
if [ ! -x "$BUILD_DIR/bin/zembra-download" ]; then
	log "building zembra-download"
	cmake -S "$root" -B "$BUILD_DIR" -G Ninja >/dev/null || die "cmake failed"
	ninja -C "$BUILD_DIR" zembra-download >/dev/null || die "build failed"
fi
OURS="$BUILD_DIR/bin/zembra-download"
for tool in nginx curl aria2c axel md5sum openssl awk sort; do
	command -v "$tool" >/dev/null || die "missing $tool"
done
[ -x /usr/bin/time ] || die "missing /usr/bin/time"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zembra-dlbench.XXXXXX") || die "mktemp failed"
chmod 755 "$WORK" # nginx workers read www/ as another user
mkdir -p "$WORK/www" "$WORK/dl" "$WORK/ngx/logs" "$WORK/ngx/tmp"
NGINX_PID=""
cleanup() {
	if [ -n "$NGINX_PID" ]; then
		kill -QUIT "$NGINX_PID" 2>/dev/null
		for _ in $(seq 50); do kill -0 "$NGINX_PID" 2>/dev/null || break; sleep 0.1; done
		kill -KILL "$NGINX_PID" 2>/dev/null
	fi
	if [ "$KEEP_WORK" = 1 ]; then log "work dir kept: $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

log "writing a ${SIZE_MIB} MiB random file"
SRC="$WORK/www/test.bin"
head -c $((SIZE_MIB << 20)) /dev/urandom >"$SRC" || die "cannot write the test file"
chmod 644 "$SRC"
SRC_MD5=$(md5sum <"$SRC" | cut -d' ' -f1)

# ------------------------------------------------------------------ nginx
P_PLAIN=$((PORT_BASE + 1)) P_CAPPED=$((PORT_BASE + 2)) P_RTT=$((PORT_BASE + 3))
ECHO_MODULE=$(nginx -V 2>&1 | grep -o -- '--modules-path=[^ ]*' | cut -d= -f2)/ngx_http_echo_module.so
[ -f "$ECHO_MODULE" ] || ECHO_MODULE=""
N="$WORK/ngx"
{
	[ -n "$ECHO_MODULE" ] && echo "load_module $ECHO_MODULE;"
	cat <<EOF
worker_processes $(nproc);
pid $N/nginx.pid;
error_log $N/logs/error.log warn;
events { worker_connections 1024; }
http {
    default_type application/octet-stream;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 100000;
    access_log off;
    client_body_temp_path $N/tmp/body;
    proxy_temp_path $N/tmp/proxy;
    fastcgi_temp_path $N/tmp/fastcgi;
    uwsgi_temp_path $N/tmp/uwsgi;
    scgi_temp_path $N/tmp/scgi;
    server { listen 127.0.0.1:$P_PLAIN; root $WORK/www; }
    server { listen 127.0.0.1:$P_CAPPED; root $WORK/www; limit_rate $RATE; }
EOF
	if [ -n "$ECHO_MODULE" ]; then
		cat <<EOF
    server {
        listen 127.0.0.1:$P_RTT; root $WORK/www; limit_rate $RATE;
        location / { echo_sleep $(awk -v m="$TTFB_MS" 'BEGIN { printf "%.3f", m / 1000 }'); echo_exec @file; }
        location @file { }
    }
EOF
	fi
	echo "}"
} >"$N/nginx.conf"
nginx -p "$N/" -c "$N/nginx.conf" -e "$N/logs/error.log" -g 'daemon off;' >"$N/logs/stdout.log" 2>&1 &
NGINX_PID=$!
for _ in $(seq 100); do
	curl -s -o /dev/null -r 0-0 "http://127.0.0.1:$P_PLAIN/test.bin" && break
	kill -0 "$NGINX_PID" 2>/dev/null || { cat "$N/logs/error.log" >&2; die "nginx did not start (ports busy? PORT_BASE=...)"; }
	sleep 0.1
done

# ------------------------------------------------------------------ measuring
OUT="$WORK/dl/out.bin"
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
clean_outputs() { rm -f "$OUT" "$OUT".* "$WORK"/dl/*.st; }

# run_once LABEL VERIFY cmd... : one timed run; sets W C M G (wall, cpu, rss KiB, good 0/1)
run_once() {
	local label=$1 verify=$2 w u s
	shift 2
	clean_outputs
	sync
	/usr/bin/time -f '%e %U %S %M' -o "$WORK/time.txt" "$@" >"$WORK/run.log" 2>&1
	local rc=$?
	read -r w u s M < <(tail -1 "$WORK/time.txt")
	W=$w
	C=$(awk -v a="$u" -v b="$s" 'BEGIN { printf "%.2f", a + b }')
	G=0
	if [ "$rc" != 0 ]; then
		log "  $label failed ($rc): $(head -c 300 "$WORK/run.log" | tr '\n' ' ')"
	elif [ "$verify" = 0 ] || [ "$(md5sum <"$OUT" | cut -d' ' -f1)" = "$SRC_MD5" ]; then
		G=1
	else
		log "  $label produced a wrong file"
	fi
	clean_outputs
}

# summarize "walls" "cpus" "rsss" "goods" : sets WALL CPU RSS OK (medians; RSS in MiB)
summarize() {
	# shellcheck disable=SC2086
	WALL=$(median $1)
	# shellcheck disable=SC2086
	CPU=$(median $2)
	# shellcheck disable=SC2086
	RSS=$(awk -v k="$(median $3)" 'BEGIN { printf "%.1f", k / 1024 }')
	OK=$(printf '%s\n' $4 | awk '{ s += $1 } END { print s + 0 }')
}

ROW='%-11s %-22s %7s %8s %7s %9s %8s %5s\n'
printf '\n== download engine benchmark: %s ==\n' "$(date -u +%Y-%m-%dT%H:%MZ)"
printf 'machine: %s cores, %s; %s MiB file, median of %s runs; load %s\n' "$(nproc)" \
	"$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)" "$SIZE_MIB" "$RUNS" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'tools: %s; %s; %s; %s\n' "$(nginx -v 2>&1 | sed 's/.*: //')" "$(curl --version | head -1 | cut -d' ' -f1-2)" \
	"$(aria2c --version | head -1)" "$(axel --version | head -1 | cut -d' ' -f1-2)"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
MISSED=0
# verdict NAME VALUE OP BOUND: sets NAME to "met" or "MISSED" (and counts the misses)
verdict() {
	if awk -v v="$2" -v b="$4" -v op="$3" 'BEGIN { if (v == "n/a") exit 1; exit !(op == ">=" ? v >= b : v <= b) }'; then
		printf -v "$1" met
	else
		MISSED=$((MISSED + 1))
		printf -v "$1" MISSED
	fi
}
rate() { awk -v z="$SIZE_MIB" -v w="$1" 'BEGIN { if (w > 0) printf "%.0f", z / w; else print "inf" }'; }

for scenario in $SCENARIOS; do
	case $scenario in
	plain) port=$P_PLAIN ;;
	capped) port=$P_CAPPED ;;
	capped_rtt)
		[ -n "$ECHO_MODULE" ] || { log "capped_rtt needs libnginx-mod-http-echo: skipped"; continue; }
		port=$P_RTT ;;
	*) die "unknown scenario $scenario" ;;
	esac
	url="http://127.0.0.1:$port/test.bin"
	printf '\n'
	printf "$ROW" scenario client wall MiB/s cpu_s cpu_s/GiB rss_MiB md5
	printf "$ROW" ----------- ---------------------- ------- -------- ------- --------- -------- -----
	best_rate=0 best_name="" ours_rate=0 ours_cpu=0 ours_rss=0 aria_cpu=0 aria_rss=0
	clients=(zembra curl aria2c-x4 axel-n4)
	declare -A walls=() cpus=() rsss=() goods=()
	# Runs go round the clients, so that a slow phase of the machine hits
	# every client alike rather than all runs of one.
	for run in $(seq "$RUNS"); do
		for client in "${clients[@]}"; do
			case $client in
			zembra) cmd=("$OURS" --any-network "$url" "$OUT") ;;
			curl) cmd=(curl -sf -o "$OUT" "$url") ;;
			aria2c-x4) cmd=(aria2c -x4 -s4 -k4M -q --allow-overwrite=true --auto-file-renaming=false
				--summary-interval=0 -d "$WORK/dl" -o out.bin "$url") ;;
			axel-n4) cmd=(axel -q -n 4 -o "$OUT" "$url") ;;
			esac
			log "$scenario/$client run $run: ${cmd[*]}"
			run_once "$scenario/$client" 1 "${cmd[@]}"
			walls[$client]+="$W " cpus[$client]+="$C " rsss[$client]+="$M " goods[$client]+="$G "
			[ "$client" = zembra ] && writes=$(sed -n 's/^writes //p' "$WORK/run.log")
		done
	done
	for client in "${clients[@]}"; do
		summarize "${walls[$client]}" "${cpus[$client]}" "${rsss[$client]}" "${goods[$client]}"
		mibs=$(rate "$WALL")
		gib_cpu=$(awk -v c="$CPU" -v z="$SIZE_MIB" 'BEGIN { printf "%.2f", c * 1024 / z }')
		printf "$ROW" "$scenario" "$client" "$WALL" "$mibs" "$CPU" "$gib_cpu" "$RSS" "$OK/$RUNS"
		if [ "$client" = zembra ]; then
			ours_rate=$mibs ours_cpu=$CPU ours_rss=$RSS
		else
			if [ "$OK" -gt 0 ] && awk -v a="$mibs" -v b="$best_rate" 'BEGIN { exit !(a > b) }'; then
				best_rate=$mibs best_name=$client
			fi
			[ "$client" = aria2c-x4 ] && aria_cpu=$CPU aria_rss=$RSS
		fi
	done
	unset walls cpus rsss goods
	speed=$(ratio "$ours_rate" "$best_rate") cpu=$(ratio "$ours_cpu" "$aria_cpu") rss=$(ratio "$ours_rss" "$aria_rss")
	[ "$scenario" = plain ] && wanted=1.3 || wanted=1.0
	printf '%s: our writes: %s\n' "$scenario" "${writes:-unknown}"
	verdict speed_ok "$speed" ">=" "$wanted"
	verdict cpu_ok "$cpu" "<=" 1.0
	verdict rss_ok "$rss" "<=" 1.0
	printf '%s: ours / best peer (%s) = %s in MiB/s (target >= %s: %s); CPU per GiB ours / aria2c = %s (target <= 1.0: %s); peak RSS ours / aria2c = %s (target <= 1.0: %s)\n' \
		"$scenario" "$best_name" "$speed" "$wanted" "$speed_ok" "$cpu" "$cpu_ok" "$rss" "$rss_ok"
done
printf '\ntargets: %s\n' "$([ "$MISSED" = 0 ] && echo "all met" || echo "$MISSED missed")"

# ------------------------------------------------------------------ MD5 check
printf '\n'
printf "$ROW" md5 tool wall MiB/s cpu_s cpu_s/GiB rss_MiB ok
printf "$ROW" ----------- ---------------------- ------- -------- ------- --------- -------- -----
cat "$SRC" >/dev/null # both read from the page cache
md5_walls="" md5_cpus="" md5_rsss="" md5_goods="" ssl_walls="" ssl_cpus="" ssl_rsss="" ssl_goods=""
for run in $(seq "$RUNS"); do
	run_once "md5/checkMD5" 0 "$OURS" --md5 "$SRC" "$SRC_MD5"
	md5_walls+="$W " md5_cpus+="$C " md5_rsss+="$M " md5_goods+="$G "
	run_once "md5/openssl" 0 openssl dgst -md5 "$SRC"
	ssl_walls+="$W " ssl_cpus+="$C " ssl_rsss+="$M " ssl_goods+="$G "
done
summarize "$md5_walls" "$md5_cpus" "$md5_rsss" "$md5_goods"
ours_md5=$(rate "$WALL")
printf "$ROW" md5 checkMD5 "$WALL" "$ours_md5" "$CPU" "$(awk -v c="$CPU" -v z="$SIZE_MIB" 'BEGIN { printf "%.2f", c * 1024 / z }')" "$RSS" "$OK/$RUNS"
summarize "$ssl_walls" "$ssl_cpus" "$ssl_rsss" "$ssl_goods"
openssl_md5=$(rate "$WALL")
printf "$ROW" md5 "openssl dgst -md5" "$WALL" "$openssl_md5" "$CPU" "$(awk -v c="$CPU" -v z="$SIZE_MIB" 'BEGIN { printf "%.2f", c * 1024 / z }')" "$RSS" "$OK/$RUNS"
printf 'md5: checkMD5 / openssl dgst -md5 = %s in MiB/s\n' "$(ratio "$ours_md5" "$openssl_md5")"
