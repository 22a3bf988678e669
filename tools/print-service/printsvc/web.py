"""The web server and the upload host's HTTP scripts (one handler; the service may run it on
one port or two), plus the loopback-only control API under /__control/."""

import hashlib
import json
import os
import re
import socket
import socketserver
import sys
import tempfile
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from . import multipart, pages
from .state import b64, latin1

# Characters a request target may carry as they are; everything else (blanks, bytes >= 0x80,
# controls) is percent-encoded before the standard parser sees the line, so a CP949 byte such
# as 0x85 or 0xA0 cannot be taken for white space.
_TARGET_SAFE = "/?&=:;,+[]@!$'()*~%#-._"
_BASKET_RE = re.compile(rb"^cartinfo=(.*)&dir=(.*?)&id=(.*)&httpapp=([^&]*)$", re.DOTALL)


def _unquote(b, plus=False):
    if plus:
        b = b.replace(b"+", b" ")
    return urllib.parse.unquote_to_bytes(b)


def parse_query(query, plus=True):
    """name -> first value, both bytes, PHP style ("+" is a blank unless plus is False)."""
    out = {}
    for piece in query.split(b"&"):
        if not piece:
            continue
        k, _, v = piece.partition(b"=")
        out.setdefault(_unquote(k, plus), _unquote(v, plus))
    return out


def name_candidates(b):
    """The bytes a name may have on disk: as received, and, when it came as UTF-8 (a browser
    encodes what it is given that way), the same text in CP949."""
    out = [b]
    try:
        alt = b.decode("utf-8").encode("cp949")
        if alt != b:
            out.append(alt)
    except (UnicodeDecodeError, UnicodeEncodeError):
        pass
    return out


def _cp949_or_none(text):
    try:
        return text.encode("cp949")
    except UnicodeEncodeError:
        return None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KestrunPrintService/1.0"
    sys_version = ""

    def log_message(self, fmt, *args):
        if self.server.service.verbose:
            sys.stderr.write("http %s: %s\n" % (self.server.listener, fmt % args))

    # --- request line

    def parse_request(self):
        line = self.raw_requestline.rstrip(b"\r\n")
        words = line.split(b" ")
        self.raw_target = b""
        if len(words) >= 2:
            if len(words) >= 3 and words[-1].startswith(b"HTTP/"):
                method, target, version = words[0], b" ".join(words[1:-1]), words[-1]
            else:
                method, target, version = words[0], b" ".join(words[1:]), None
            self.raw_target = target
            safe = urllib.parse.quote_from_bytes(target, safe=_TARGET_SAFE).encode("ascii")
            self.raw_requestline = method + b" " + safe + (b" " + version if version else b"") + b"\r\n"
        return super().parse_request()

    def do_GET(self):
        self._answered(self._dispatch)

    def do_POST(self):
        self._answered(self._dispatch)

    def _answered(self, handle):
        # From the first byte of the answer until the request's entry is complete, readers of
        # the record wait (the client may ask for the record the moment it has the answer).
        self._answer_key = None
        try:
            handle()
        finally:
            if self._answer_key is not None:
                self.server.service.state.end_answer(self._answer_key)

    # --- body

    def _read_exact(self, n):
        rate = self.server.service.state.throttle["http"]
        chunks, left = [], n
        started = time.monotonic()
        got = 0
        while left > 0:
            block = self.rfile.read(min(left, 65536 if not rate else max(1024, min(65536, rate // 10))))
            if not block:
                raise ConnectionError("body ended after %d of %d bytes" % (n - left, n))
            chunks.append(block)
            left -= len(block)
            got += len(block)
            if rate:
                ahead = got / rate - (time.monotonic() - started)
                if ahead > 0:
                    time.sleep(ahead)
        return b"".join(chunks)

    def _read_body(self):
        if "chunked" in (self.headers.get("Transfer-Encoding") or "").lower():
            out = []
            while True:
                size_line = self.rfile.readline(65537)
                size = int(size_line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline(65537) not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(out)
                out.append(self._read_exact(size))
                self.rfile.readline(3)
        n = int(self.headers.get("Content-Length") or 0)
        return self._read_exact(n) if n > 0 else b""

    # --- answers

    def _send(self, status, ctype, body, extra=()):
        if getattr(self, "_answer_key", None) is None:
            self._answer_key = object()
            self.server.service.state.begin_answer(self._answer_key)
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        if self.command == "HEAD":
            return
        rate = self.server.service.state.throttle["http"]
        if not rate:
            self.wfile.write(body)
            return
        step = max(1024, rate // 10)
        for i in range(0, len(body), step):
            self.wfile.write(body[i:i + step])
            self.wfile.flush()
            time.sleep(len(body[i:i + step]) / rate)

    def _html(self, status, body):
        self._send(status, pages.CONTENT_TYPE, body)
        return status

    # --- dispatch

    def _dispatch(self):
        service = self.server.service
        state = service.state
        target = self.raw_target
        path_raw, _, query = target.partition(b"?")
        path = _unquote(path_raw)
        if path.startswith(b"/__control/"):
            return self._control(path[len(b"/__control/"):].decode("latin-1"))
        try:
            body = self._read_body()
        except (ValueError, ConnectionError) as e:
            state.add("http", listener=self.server.listener, method=self.command,
                      target=latin1(target), path=latin1(path), error=str(e))
            self.close_connection = True
            return
        digest = hashlib.sha256(body).hexdigest()
        entry = state.add("http", listener=self.server.listener, method=self.command,
                          target=latin1(target), path=latin1(path), query=latin1(query),
                          headers=[[k, v] for k, v in self.headers.items()],
                          body_size=len(body), body_sha256=digest, body_b64=b64(body))
        parts = None
        ctype = (self.headers.get("Content-Type") or "").encode("latin-1")
        boundary = multipart.boundary_of(ctype)
        if boundary is not None:
            try:
                parts = multipart.parse(body, boundary)
                entry["fields"] = [self._field(p) for p in parts]
            except multipart.MultipartError as e:
                entry["multipart_error"] = str(e)
        rule = state.http_fault(latin1(path))
        if rule is not None:
            entry["fault"] = rule.action
            if self._apply_fault(rule, entry):
                return
        status = self._route(path, query, parts, entry)
        entry["status"] = status

    def _field(self, p):
        f = {"name": latin1(p.name) if p.name is not None else None,
             "filename": latin1(p.filename) if p.filename is not None else None,
             "headers": [[latin1(k), latin1(v)] for k, v in p.headers],
             "size": len(p.value), "sha256": hashlib.sha256(p.value).hexdigest()}
        if p.filename is None:
            f["value"] = latin1(p.value)
        else:
            f["value_b64"] = b64(p.value)
        return f

    def _apply_fault(self, rule, entry):
        """True when the fault took the place of the normal answer."""
        state = self.server.service.state
        action = rule.action
        if action == "delay":
            time.sleep(float(rule.get("seconds", 1)))
            return False
        if action == "hang":
            limit = rule.get("seconds")
            deadline = None if limit is None else time.monotonic() + float(limit)
            release = state.release_event
            while not (state.stop_event.is_set() or release.is_set()):
                if deadline is not None and time.monotonic() >= deadline:
                    break
                release.wait(0.05)
            entry["status"] = None
            self.close_connection = True
            return True
        if action == "drop":
            entry["status"] = None
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return True
        if action == "status":
            status = int(rule.get("status", 500))
            entry["status"] = self._html(status, pages.message("오류 %d" % status,
                                                               rule.get("text", "서버 오류")))
            return True
        if action == "error_page":
            entry["status"] = self._html(200, pages.error_page(
                rule.get("text", "move_uploaded_file(): failed to open stream: Permission denied")))
            return True
        if action == "flood":
            self._flood(rule, entry)
            return True
        if action == "body":
            text = rule.get("body", "")
            data = text.encode("latin-1") if rule.get("latin1") else text.encode("cp949", "replace")
            entry["status"] = self._html(int(rule.get("status", 200)), data)
            return True
        return False

    def _flood(self, rule, entry):
        """A body of "bytes" filler bytes (endless when not given) with "length" as its stated
        Content-Length (none when not given: the body ends with the connection). Stops when
        the client goes; "sent" in the record says how much went out."""
        total = rule.get("bytes")
        length = rule.get("length")
        self.send_response(int(rule.get("status", 200)))
        self.send_header("Content-Type", "text/html")
        if length is not None:
            self.send_header("Content-Length", str(int(length)))
        else:
            self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        block = b"0" * 65536
        sent = 0
        entry["status"] = int(rule.get("status", 200))
        try:
            while total is None or sent < total:
                n = len(block) if total is None else min(len(block), total - sent)
                self.wfile.write(block[:n])
                sent += n
                if self.server.service.state.stop_event.is_set():
                    break
        except OSError:
            pass
        entry["sent"] = sent

    def _route(self, path, query, parts, entry):
        service = self.server.service
        get = self.command in ("GET", "HEAD")
        if path in (b"/", b"/index.html") and get:
            return self._html(200, pages.index(service.ftp.port))
        if path == b"/clients/brimvale_1.2A_top.html" and get:
            return self._html(200, pages.banner())
        if path == b"/popup/ifpf_pop2.htm" and get:
            return self._html(200, pages.size_alert())
        if path == b"/popup/ifpf_pop.htm" and get:
            return self._html(200, pages.option_alert())
        if path.startswith(b"/assets/") and get:
            data = pages.asset(path[len(b"/assets/"):].decode("latin-1"))
            if data is not None:
                self._send(200, "image/png", data, [("Cache-Control", "max-age=3600")])
                return 200
        if path == b"/app_login.php":
            return self._login(query)
        if path == b"/Brimvale/NowDateTime.html" and get:
            state = service.state
            with state.lock:
                cookies = [("Set-Cookie", c) for c in state.set_cookie]
            self._send(200, "text/html; charset=euc-kr", state.stamp().encode("ascii"), cookies)
            return 200
        if path == b"/mymenu/Basket_Process_P.html" and get:
            return self._basket(query)
        if path.startswith(b"/images/") and get:
            return self._static(path)
        if path == b"/upload_file2.php" and self.command == "POST":
            return self._upload_photo(parts, entry)
        if path == b"/upload_cartinfo.php" and self.command == "POST":
            return self._upload_cartinfo(parts, entry)
        return self._html(404, pages.message("찾을 수 없음", "요청하신 페이지가 없습니다: "
                                             + path.decode("cp949", "replace")))

    # --- web server scripts

    def _login(self, query):
        q = parse_query(query)
        uid, pw = q.get(b"userid"), q.get(b"pass")
        ok = False
        if uid is not None and pw is not None:
            for name, password in self.server.service.state.accounts.items():
                # as the real service: the CP949 bytes of id and password, nothing else (a
                # password CP949 cannot hold can never match)
                if uid == _cp949_or_none(name) and pw == _cp949_or_none(password):
                    ok = True
        # exactly "OK", no line end, for a member; anything else is a refusal
        self._send(200, "text/html; charset=euc-kr", b"OK" if ok else b"FAIL")
        return 200

    def _basket(self, query):
        state = self.server.service.state
        m = _BASKET_RE.match(query)
        if m:
            cart, day, user = (_unquote(m.group(i)) for i in (1, 2, 3))
        else:
            q = parse_query(query, plus=False)
            cart, day, user = q.get(b"cartinfo", b""), q.get(b"dir", b""), q.get(b"id", b"")
        found = None
        for c in name_candidates(cart):
            for u in name_candidates(user):
                rel = b"/images/orders/" + day + b"/" + u + b"/" + c
                local = state.resolve(rel)
                if local is not None and os.path.isfile(local):
                    found, cart, user = (rel, local), c, u
                    break
            if found:
                break
        if not found:
            return self._html(404, pages.message(
                "장바구니 파일 없음", "장바구니 파일을 찾을 수 없습니다: /images/orders/%s/%s/%s"
                % tuple(x.decode("cp949", "replace") for x in (day, user, cart))))
        rel, local = found
        with open(local, "rb") as f:
            data = f.read()

        def thumb_url(upload_name):
            t = (b"/images/thumbs/" + day + b"/" + user + b"/" + upload_name).replace(b" ", b"_")
            tl = state.resolve(t)
            return pages.quote_path(t) if tl is not None and os.path.isfile(tl) else None

        return self._html(200, pages.basket(cart, day, user, rel.decode("cp949", "replace"),
                                            data, thumb_url))

    def _static(self, path):
        local = self.server.service.state.resolve(path)
        if local is None or not os.path.isfile(local):
            return self._html(404, pages.message("찾을 수 없음", "파일이 없습니다."))
        with open(local, "rb") as f:
            data = f.read()
        lower = path.lower()
        ctype = ("image/jpeg" if lower.endswith((b".jpg", b".jpeg")) else
                 "image/png" if lower.endswith(b".png") else
                 "text/plain; charset=euc-kr" if lower.endswith(b".txt") else
                 "application/octet-stream")
        self._send(200, ctype, data)
        return 200

    # --- upload scripts

    def _missing(self, parts, names):
        if parts is None:
            return self._html(400, pages.message("잘못된 요청", "multipart/form-data 가 아닙니다."))
        fields = multipart.last_values(parts)
        lost = [n for n in names if n not in fields]
        if lost:
            return self._html(400, pages.message("잘못된 요청", "필드가 없습니다: "
                                                 + ", ".join(n.decode() for n in lost)))
        return None

    def _store(self, rel, data, entry):
        state = self.server.service.state
        local = state.resolve(rel)
        if local is None:
            return self._html(403, pages.message("거부됨", "저장 위치가 업로드 폴더 밖입니다."))
        if os.path.isdir(local):
            return self._html(409, pages.message("거부됨", "같은 이름의 폴더가 있습니다."))
        folder = os.path.dirname(local)
        os.makedirs(folder, exist_ok=True)
        # written aside and renamed, so a reader never sees half a file
        fd, tmp = tempfile.mkstemp(dir=folder, prefix=b".upload-")
        try:
            with os.fdopen(fd, "wb") as f:
                f.write(data)
            os.replace(tmp, local)
        except BaseException:
            try:
                os.unlink(tmp)
            except OSError:
                pass
            raise
        entry["stored"] = state.rel(local)
        state.add_file("http", local, True)
        return self._html(200, pages.encode("<html><body>OK</body></html>"))

    def _upload_photo(self, parts, entry):
        bad = self._missing(parts, (b"dst_dir", b"dst_filename", b"file"))
        if bad:
            return bad
        f = multipart.last_values(parts)
        return self._store(f[b"dst_dir"].value + b"/" + f[b"dst_filename"].value,
                           f[b"file"].value, entry)

    def _upload_cartinfo(self, parts, entry):
        bad = self._missing(parts, (b"dir", b"filename", b"contents"))
        if bad:
            return bad
        f = multipart.last_values(parts)
        d, name = f[b"dir"].value, f[b"filename"].value
        # The client cut its path at the last "\" or ":" (a final "\" dropped, a final ":"
        # kept); put it back together so the file lands where the client meant it.
        if not d:
            rel = name
        elif d.endswith(b":"):
            rel = d + name
        else:
            rel = d + b"\\" + name
        return self._store(rel, f[b"contents"].value, entry)

    # --- control

    def _control(self, command):
        host = self.client_address[0]
        if not (host.startswith("127.") or host == "::1"):
            self._send(403, "application/json", b'{"ok": false, "error": "loopback only"}')
            return
        try:
            body = self._read_body()
            args = json.loads(body.decode("utf-8")) if body.strip() else {}
            if not isinstance(args, dict):
                raise ValueError("arguments must be a JSON object")
            result = self.server.service.control(command, args)
            status, out = 200, dict(ok=True, **result)
        except (ValueError, KeyError, TypeError, OSError) as e:
            status, out = 400, {"ok": False, "error": "%s: %s" % (type(e).__name__, e)}
        self._send(status, "application/json", json.dumps(out, ensure_ascii=True).encode("ascii"))


class WebServer(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, service, listener):
        self.service = service
        self.listener = listener
        super().__init__(address, Handler)

    def server_bind(self):
        # no reverse name lookup of the address (HTTPServer's getfqdn can stall for seconds)
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]
        self.socket.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def get_request(self):
        sock, addr = super().get_request()
        # Nagle against delayed ACK costs tens of milliseconds per request
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return sock, addr
