#!/usr/bin/env bash
# Start-up time and memory of the client with each web view back end, against a local print
# service. Needs a built tree (KB_BUILD_DIR, default build/) and runs offscreen.
#   bench/run-startup.sh [runs per back end, default 5]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$top/build}
bench="$build/bench/bench_startup"
runs=${1:-5}

state=$(mktemp -d)
mkfifo "$state/stdin"
/usr/bin/python3 "$top/tools/print-service/printservice.py" --http-port 0 --ftp-port 0 \
  --temp-data --exit-on-stdin-eof <"$state/stdin" >"$state/ready" &
service=$!
exec 3>"$state/stdin"
trap 'exec 3>&-; kill $service 2>/dev/null || true; wait $service 2>/dev/null || true; rm -rf "$state"' EXIT
for _ in $(seq 100); do [ -s "$state/ready" ] && break; sleep 0.1; done
port=$(sed -n 's/.*"web_port": \([0-9]*\).*/\1/p' "$state/ready")
export KESTRUN_WEB_URL="http://127.0.0.1:$port"
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' QTWEBENGINE_DISABLE_SANDBOX=1
export KESTRUN_CONFIG="$state/Kestrun.cfg"

for backend in text engine; do
  for i in $(seq "$runs"); do
    KESTRUN_WEBVIEW=$backend KB_BENCH_T0=$(date +%s%N) "$bench" 2>/dev/null
  done
done | awk '
  { kind=$1; for (i=2;i<=NF;i++) { split($i,kv,"="); sum[kind,kv[1]]+=kv[2]; } n[kind]++; print }
  END { for (k in n) printf "mean %s over %d runs: idle %.1f ms, banner %.1f ms, peak rss %.1f MB, process tree %.1f MB\n",
        k, n[k], sum[k,"idle_ms"]/n[k], sum[k,"banner_ms"]/n[k], sum[k,"peak_rss_mb"]/n[k], sum[k,"total_rss_mb"]/n[k] }'
