#!/usr/bin/env bash
# The upload soak: SEEDS seeds per route (default 20) of one upload of PHOTOS photos (default
# 300) each, against the print service's seeded random faults. Prints every run and, per
# route, how many completed, how many stopped with the error shown, how many ended any other
# way (none may), and the memory of the driver.
#   bench/run-soak.sh [SEEDS [PHOTOS [FIRST_SEED]]]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$top/build}
seeds=${1:-20} photos=${2:-300} first=${3:-1}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target soak_upload -j2 >/dev/null
export QT_QPA_PLATFORM=offscreen

status=0
for route in ftp http; do
  "$build/bench/soak_upload" "$route" "$first" "$seeds" "$photos" || status=1
done
exit $status
