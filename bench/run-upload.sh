#!/usr/bin/env bash
# The upload engine on loopback beside curl, on the same files and the same servers, in one
# run: FTP route (photos + thumbnails) against `curl -T`, the web route (without its pauses)
# against `curl -F`, and peak memory while sending a 1 GB photo by either route.
#   bench/run-upload.sh [--small]    --small: 20 photos of 10 MB and one of 200 MB
#                                    instead of 100 of 10 MB and one of 1 GB
# KB_BASELINE_BUILD_DIR: another build whose bench_upload runs in the same rounds of the FTP
# cases, to compare two versions in one run. The most decoding threads busy at once is shown
# for each FTP case.
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

# The servers store into memory when there is room: disk write-back would make every run's
# figures a matter of what the previous run left to flush.
room_kb=$(df -Pk /dev/shm 2>/dev/null | awk 'NR==2 {print $4}')
if [ -w /dev/shm ] && [ "${room_kb:-0}" -gt $(( (big_mb * 2 + count * 20 + 1024) * 1024 )) ]; then
  tmp=$(mktemp -d -p /dev/shm)
else
  tmp=$(mktemp -d)
fi
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
curl_ftp_pairs() { # curl -T of every photo followed by the thumbnail ours stored for it
  local args=() i=0 thumbs=("$tmp"/thumbs/*)
  for f in "$@"; do
    args+=(-T "$f" "$ftp/images/orders/curl/" -T "${thumbs[$i]}" "$ftp/images/thumbs/curl/")
    i=$((i + 1))
  done
  local t0; t0=$(now)
  curl -s --ftp-create-dirs -u 'kestrun_ftp:mbqrwz!' "${args[@]}"
  echo $(($(now) - t0))
}
keep_thumbs() { # the thumbnails of our last FTP run, in upload order, for curl_ftp_pairs
  rm -rf "$tmp/thumbs"; mkdir -p "$tmp/thumbs"
  cp "$tmp"/service/ftp/images/thumbs/20240520/bench/* "$tmp/thumbs/"
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
baseline=${KB_BASELINE_BUILD_DIR:+$KB_BASELINE_BUILD_DIR/bench/bench_upload}
ours() { # mode, then files: the program's figures in $tmp/ours.out ($OURS_BIN: another build's)
  local mode=$1; shift
  local to=$ftp; [ "$mode" = http ] && to=$sink
  "${OURS_BIN:-$bench}" "$mode" "$web" "$to" bench "$@" >"$tmp/ours.out"
  [ "$(value completed <"$tmp/ours.out")" = 1 ] || { echo "upload not completed" >&2; exit 1; }
}
peak() { "$bench" "$@" | value peak_rss_mb; }

echo "files: ${#photos[@]} of 10 MB, one of $big_mb MB, ${#camera[@]} camera photos (24 MP) for the thumbnail share"
echo "ours: the whole upload (order stamp, FTP login, folders, photos, thumbnails, cart-info post)"
echo "      and, in brackets, from its first photo to the end of its last; anchors: the whole curl run"
echo "      of the photos alone, and of each photo followed by the thumbnail ours stored for it"
echo

ns_of() { python3 -c "print(int(float('$(value "$1" <"$tmp/ours.out")') * 1e9))"; }
min() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }
rounds=5 # every figure is the best of this many runs: the machine's other work only slows
report() { # label, bytes, ours whole ns, ours route ns, anchor ns, anchor name
  printf '%-42s ours %7s MB/s (%7s)   %-22s %7s MB/s   ratio %s (%s)\n' "$1" \
    "$(mbps "$2" "$3")" "$(mbps "$2" "$4")" "$6" "$(mbps "$2" "$5")" \
    "$(ratio "$5" "$3")" "$(ratio "$5" "$4")"
}
ftp_case() { # label, mode, files: ours against curl -T of the photos and of photos + thumbnails
  local label=$1 mode=$2; shift 2
  local bytes c="" p="" w="" r="" bw="" br="" threads=0 round; bytes=$(size_of "$@")
  for round in $(seq "$rounds"); do
    wipe; c=$(min "$c" "$(curl_ftp "$@")")
    wipe; ours "$mode" "$@"; keep_thumbs
    w=$(min "$w" "$(ns_of seconds)"); r=$(min "$r" "$(ns_of route_seconds)")
    t=$(value decoding_threads_peak <"$tmp/ours.out"); [ "${t:-0}" -gt "$threads" ] && threads=$t
    wipe; p=$(min "$p" "$(curl_ftp_pairs "$@")")
    if [ -n "$baseline" ]; then
      wipe; OURS_BIN=$baseline ours "$mode" "$@"
      bw=$(min "$bw" "$(ns_of seconds)"); br=$(min "$br" "$(ns_of route_seconds)")
    fi
  done
  report "$label" "$bytes" "$w" "$r" "$c" "curl -T photos"
  report "" "$bytes" "$w" "$r" "$p" "curl -T photos+thumbs"
  [ -z "$baseline" ] || report "" "$bytes" "$w" "$r" "$bw" "baseline build"
  echo "  decoding threads busy at once: peak $threads (cores $(nproc))"
}
http_case() { # label, files: ours against curl -F
  local label=$1; shift
  local bytes c="" w="" r="" round; bytes=$(size_of "$@")
  for round in $(seq "$rounds"); do
    c=$(min "$c" "$(curl_http "$@")")
    ours http "$@"
    w=$(min "$w" "$(ns_of seconds)"); r=$(min "$r" "$(ns_of route_seconds)")
  done
  report "$label" "$bytes" "$w" "$r" "$c" "curl -F"
}

ftp_case "FTP ${#photos[@]} x 10 MB (+ thumbnails)" ftp "${photos[@]}"
ftp_case "FTP 1 x $big_mb MB (+ thumbnail)" ftp "$big"
if [ ${#camera[@]} -gt 0 ]; then
  ftp_case "FTP ${#camera[@]} camera photos, thumbnails now" ftp "${camera[@]}"
  ftp_case "FTP ${#camera[@]} camera photos, drawn ahead" ftp-prepared "${camera[@]}"
fi
# What confirming every store by its size on the host costs: the same upload with the check
# and without, best of the rounds each, per store (a photo and its thumbnail are two).
verify_cost() {
  local on="" off="" round
  for round in $(seq "$rounds"); do
    wipe; ours ftp "$@"; on=$(min "$on" "$(ns_of route_seconds)")
    wipe; KB_VERIFY_STORES=0 ours ftp "$@"; off=$(min "$off" "$(ns_of route_seconds)")
  done
  python3 -c "print('SIZE check after every store: %.3f ms per store (%d stores; %.3f s with, %.3f s without)' % (($on - $off) / 1e6 / (2 * $#), 2 * $#, $on / 1e9, $off / 1e9))"
}
verify_cost "${photos[@]}"
wipe
http_case "HTTP ${#photos[@]} x 10 MB (no pauses)" "${photos[@]}"
http_case "HTTP 1 x $big_mb MB" "$big"
echo

wipe; ftp_small=$(peak ftp "$web" "$ftp" bench "${photos[0]}")
wipe; ftp_big=$(peak ftp "$web" "$ftp" bench "$big")
http_small=$(peak http "$web" "$sink" bench "${photos[0]}")
http_big=$(peak http "$web" "$sink" bench "$big")
wipe
printf 'peak memory FTP   10 MB photo %6s MB   %s MB photo %6s MB   (target < 100 MB)\n' "$ftp_small" "$big_mb" "$ftp_big"
printf 'peak memory HTTP  10 MB photo %6s MB   %s MB photo %6s MB   (target < 100 MB)\n' "$http_small" "$big_mb" "$http_big"
