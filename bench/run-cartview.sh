#!/usr/bin/env bash
# The waiting list with many photos (default 10,000): memory per order, RefreshView and wheel
# step times, card pool and thumbnail loads. Needs a built tree (KB_BUILD_DIR, default build/).
#   bench/run-cartview.sh [orders]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$top/build}
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
"$build/bench/bench_cartview" "${1:-10000}"
