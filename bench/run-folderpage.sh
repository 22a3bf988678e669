#!/usr/bin/env bash
# The folder page on a folder of 10,000 photos, and the thumbnail throughput beside
# vipsthumbnail on the same 1,000 photos (as many parallel processes as our thumbnail threads,
# one per core). Needs a built tree (KB_BUILD_DIR, default build/); runs offscreen.
# KB_BASELINE_BUILD_DIR: another build whose bench_folderpage runs right after ours, on the
# same photos, so that two versions are compared in one run.
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

contenders=("$bench")
[ -n "${KB_BASELINE_BUILD_DIR:-}" ] && contenders+=("$KB_BASELINE_BUILD_DIR/bench/bench_folderpage")
for b in "${contenders[@]}"; do
  echo "== folder page ($b)"
  "$b" page "$photos" 2>/dev/null
  echo "== thumbnails of the first 1000 photos, half with an EXIF thumbnail ($b)"
  "$b" thumbs "$photos" 1000 2>/dev/null
done
if command -v vipsthumbnail >/dev/null; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  procs=$(( $(nproc) < 2 ? 2 : $(nproc) ))
  start=$(date +%s%N)
  files=("$photos"/*.jpg)
  printf '%s\n' "${files[@]:0:1000}" | xargs -P "$procs" -n 50 vipsthumbnail --size 130x130 -o "$out/%s.jpg"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -v procs="$procs" 'BEGIN { printf "vipsthumbnail 1000 in %.0f ms: %.0f per second, %d processes\n", ns / 1e6, 1000 / (ns / 1e9), procs }'
fi
