#!/usr/bin/env bash
# The folder page on a folder of 10,000 photos, and the thumbnail throughput beside
# vipsthumbnail on the same 1,000 photos (5 parallel processes against our 5 threads).
# Needs a built tree (KB_BUILD_DIR, default build/); runs offscreen.
#   bench/run-folderpage.sh [photo folder, made when missing; default /tmp/kb-photos-10000]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$top/build}
bench="$build/bench/bench_folderpage"
photos=${1:-/tmp/kb-photos-10000}
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false'
export KESTRUN_CONFIG=$(mktemp -u)/Kestrun.cfg

[ -d "$photos" ] || "$bench" make "$photos" 10000
# Warm the page cache the same way for every contender.
cat "$photos"/*.jpg >/dev/null

echo "== folder page"
"$bench" page "$photos" 2>/dev/null

echo "== thumbnails of the first 1000 photos (half with an EXIF thumbnail)"
"$bench" thumbs "$photos" 1000 2>/dev/null
if command -v vipsthumbnail >/dev/null; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  start=$(date +%s%N)
  files=("$photos"/*.jpg)
  printf '%s\n' "${files[@]:0:1000}" | xargs -P 5 -n 50 vipsthumbnail --size 130x130 -o "$out/%s.jpg"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "vipsthumbnail 1000 in %.0f ms: %.0f per second, 5 processes\n", ns / 1e6, 1000 / (ns / 1e9) }'
fi
