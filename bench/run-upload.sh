#!/usr/bin/env bash
# The upload engine on loopback beside curl, on the same files and the same servers, in one
# run: FTP route (photos + thumbnails) against `curl -T`, the web route (without its pauses)
# against `curl -F`, and peak memory while sending a 1 GB photo by either route.
#   bench/run-upload.sh [--small]    --small: 20 photos of 10 MB and one of 200 MB
#                                    instead of 100 of 10 MB and one of 1 GB
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KB_BUILD_DIR:-$top/build}
bench="$build/bench/bench_upload"
count=100 big_mb=1024
if [ "${1:-}" = "--small" ]; then count=20 big_mb=200; fi

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench_upload >/dev/null
export QT_QPA_PLATFORM=offscreen

out="$top/bench/out/upload"
mkdir -p "$out"
for i in $(seq -w 1 "$count"); do
  [ -f "$out/p$i.jpg" ] || "$bench" make "$out/p$i.jpg" 10
done
[ -f "$out/big-$big_mb.jpg" ] || "$bench" make "$out/big-$big_mb.jpg" "$big_mb"
photos=("$out"/p*.jpg)
photos=("${photos[@]:0:$count}")
big="$out/big-$big_mb.jpg"
camera=()
[ -d "$top/bench/out/photos/camera" ] && camera=("$top"/bench/out/photos/camera/*.jpg)

tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT

# The print service (web server + FTP) with a data folder of its own.
/usr/bin/python3 -X utf8 "$top/tools/print-service/printservice.py" --http-port 0 --ftp-port 0 \
  --data-dir "$tmp/service" --stamp 202405201230451 >"$tmp/service.out" 2>"$tmp/service.err" &
pids+=($!)
# An HTTP sink that reads every post and throws it away (the service keeps whole bodies in
# its record, which a 1 GB post would turn into gigabytes of memory).
cat >"$tmp/sink.py" <<'PY'
import socket, sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
class H(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *a): pass
    def do_POST(self):
        n = int(self.headers.get("Content-Length") or 0)
        while n > 0:
            b = self.rfile.read(min(n, 1 << 20))
            if not b: break
            n -= len(b)
        self.send_response(200); self.send_header("Content-Length", "2"); self.end_headers()
        self.wfile.write(b"OK")
class S(ThreadingHTTPServer):
    daemon_threads = True
    def get_request(self):
        s, a = super().get_request()
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return s, a
s = S(("127.0.0.1", 0), H)
print(s.server_port, flush=True)
s.serve_forever()
PY
/usr/bin/python3 "$tmp/sink.py" >"$tmp/sink.out" &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/service.out" ] && [ -s "$tmp/sink.out" ] && break; sleep 0.1; done
read -r web_port ftp_port < <(python3 -c 'import json,sys; d=json.loads(open(sys.argv[1]).readline()); print(d["web_port"], d["ftp_port"])' "$tmp/service.out")
sink_port=$(head -1 "$tmp/sink.out")
web="http://127.0.0.1:$web_port" ftp="ftp://127.0.0.1:$ftp_port" sink="http://127.0.0.1:$sink_port"
wipe() { curl -s -X POST -d '{"files": true}' "$web/__control/reset" >/dev/null; }
value() { sed -n "s/^$1 //p"; }
now() { date +%s%N; }
size_of() { local t=0; for f in "$@"; do t=$((t + $(stat -c %s "$f"))); done; echo "$t"; }
mbps() { python3 -c "print('%.1f' % ($1 / 1048576 / ($2 / 1e9)))"; }
ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
cat "${photos[@]}" "$big" "${camera[@]}" >/dev/null # page cache: both sides read from memory

curl_ftp() { # curl -T of every file into one folder, one process, one connection
  local args=() f
  for f in "$@"; do args+=(-T "$f" "$ftp/images/orders/curl/"); done
  local t0; t0=$(now)
  curl -s --ftp-create-dirs -u 'kestrun_ftp:mbqrwz!' "${args[@]}"
  echo $(($(now) - t0))
}
curl_http() { # curl -F of every file as the photo form, one process
  local args=() f first=1
  for f in "$@"; do
    [ $first = 1 ] || args+=(--next)
    first=0
    args+=(-s -o /dev/null -F "dst_dir=/images/orders/x/" -F "dst_filename=$(basename "$f")"
           -F "file=@$f;type=application/unknown" "$sink/upload_file2.php")
  done
  local t0; t0=$(now)
  curl "${args[@]}"
  echo $(($(now) - t0))
}
ours() { # mode, then files: nanoseconds of the whole upload
  local mode=$1; shift
  local to=$ftp; [ "$mode" = http ] && to=$sink
  local t0; t0=$(now)
  "$bench" "$mode" "$web" "$to" bench "$@" >"$tmp/ours.out"
  local ns=$(($(now) - t0))
  [ "$(value completed <"$tmp/ours.out")" = 1 ] || { echo "upload not completed" >&2; exit 1; }
  echo "$ns"
}
peak() { "$bench" "$@" | value peak_rss_mb; }

echo "files: ${#photos[@]} of 10 MB, one of $big_mb MB, ${#camera[@]} camera photos (24 MP) for the thumbnail share"
echo

report() { # label, bytes, ours ns, anchor ns, anchor name
  local o a
  o=$(mbps "$2" "$3"); a=$(mbps "$2" "$4")
  printf '%-34s ours %8s MB/s   %-8s %8s MB/s   ratio %s\n' "$1" "$o" "$5" "$a" "$(ratio "$4" "$3")"
}

wipe; c=$(curl_ftp "${photos[@]}"); wipe; o=$(ours ftp "${photos[@]}")
report "FTP ${#photos[@]} x 10 MB (+ thumbnails)" "$(size_of "${photos[@]}")" "$o" "$c" "curl -T"
wipe; c=$(curl_ftp "$big"); wipe; o=$(ours ftp "$big")
report "FTP 1 x $big_mb MB (+ thumbnail)" "$(size_of "$big")" "$o" "$c" "curl -T"
if [ ${#camera[@]} -gt 0 ]; then
  wipe; c=$(curl_ftp "${camera[@]}"); wipe; o=$(ours ftp "${camera[@]}")
  report "FTP ${#camera[@]} camera photos (+ thumbnails)" "$(size_of "${camera[@]}")" "$o" "$c" "curl -T"
fi
wipe
c=$(curl_http "${photos[@]}"); o=$(ours http "${photos[@]}")
report "HTTP ${#photos[@]} x 10 MB (no pauses)" "$(size_of "${photos[@]}")" "$o" "$c" "curl -F"
c=$(curl_http "$big"); o=$(ours http "$big")
report "HTTP 1 x $big_mb MB" "$(size_of "$big")" "$o" "$c" "curl -F"
echo

wipe; ftp_small=$(peak ftp "$web" "$ftp" bench "${photos[0]}")
wipe; ftp_big=$(peak ftp "$web" "$ftp" bench "$big")
http_small=$(peak http "$web" "$sink" bench "${photos[0]}")
http_big=$(peak http "$web" "$sink" bench "$big")
wipe
printf 'peak memory FTP   10 MB photo %6s MB   %s MB photo %6s MB   (target < 100 MB)\n' "$ftp_small" "$big_mb" "$ftp_big"
printf 'peak memory HTTP  10 MB photo %6s MB   %s MB photo %6s MB   (target < 100 MB)\n' "$http_small" "$big_mb" "$http_big"
