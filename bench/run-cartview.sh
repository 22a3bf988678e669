#!/usr/bin/env bash
# The waiting list with many photos (default 10,000): memory per order, RefreshView and wheel
# step times, card pool and thumbnail loads. Needs a built tree (KB_BUILD_DIR, default build/).
# KB_BASELINE_BUILD_DIR: another build whose bench_cartview runs right after ours, to compare
# two versions in one run.
#   bench/run-cartview.sh [orders]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$top/build}
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
for b in "$build" ${KB_BASELINE_BUILD_DIR:+"$KB_BASELINE_BUILD_DIR"}; do
  echo "== $b"
  "$b/bench/bench_cartview" "${1:-10000}"
done
