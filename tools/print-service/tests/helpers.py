"""A service on free ports with a fresh data folder, and small real clients for it."""

import ftplib
import http.client
import json
import os
import shutil
import socket
import tempfile
import time
import unittest

from printsvc.service import Service

HANGUL = "사진 한글_똠.jpg"                 # 똠 exists in CP949 only, not in EUC-KR
HANGUL_CP949 = HANGUL.encode("cp949")


def multipart_body(fields, boundary=b"--------052024103015123"):
    """fields: [(name bytes, value bytes, filename bytes or None)] in order, the way the client
    builds its forms (text parts with a Content-Disposition only)."""
    out = []
    for name, value, filename in fields:
        out.append(b"--" + boundary + b"\r\n")
        if filename is None:
            out.append(b'Content-Disposition: form-data; name="' + name + b'"\r\n\r\n')
        else:
            out.append(b'Content-Disposition: form-data; name="' + name + b'"; filename="'
                       + filename + b'"\r\nContent-Type: application/unknown\r\n'
                       b"Content-Transfer-Encoding: binary\r\n\r\n")
        out.append(value + b"\r\n")
    out.append(b"--" + boundary + b"--\r\n")
    return b"".join(out), "multipart/form-data; boundary=" + boundary.decode()


class ServiceCase(unittest.TestCase):
    """One service per test class; every test starts with an empty record, no faults and an
    empty FTP root."""

    service_options = {}

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kb-ps-test-")
        opts = dict(http_port=0, ftp_port=0, stamp=None)
        opts.update(cls.service_options)
        cls.service = Service(cls.tmp, **opts).start()
        cls.state = cls.service.state
        cls.root = os.fsencode(cls.state.ftp_root)

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()
        shutil.rmtree(os.fsencode(cls.tmp), ignore_errors=True)

    def setUp(self):
        # The previous test's FTP sessions end when the server gets round to it, and would note
        # their end in this test's record: the reset ends them first.
        self.service.control("reset", {"files": True, "end_sessions": True})

    # --- clients

    def ftp(self, login=True, timeout=30):
        f = ftplib.FTP(encoding="latin-1", timeout=timeout)   # names go out byte for byte
        f.connect("127.0.0.1", self.service.ftp.port)
        if login:
            f.login("kestrun_ftp", "mbqrwz!")
        self.addCleanup(self._close_ftp, f)
        return f

    @staticmethod
    def _close_ftp(f):
        try:
            f.close()
        except OSError:
            pass

    def http(self, method, target, body=None, headers=None, port=None, timeout=30):
        """target: bytes as they go on the request line. Returns (status, headers, body)."""
        # a socket of our own: http.client refuses bytes >= 0x80 on the request line, and the
        # client sends CP949 queries unencoded
        s = socket.create_connection(("127.0.0.1", port or self.service.web_port), timeout=timeout)
        self.addCleanup(s.close)
        head = [method.encode() + b" " + target + b" HTTP/1.1", b"Host: 127.0.0.1",
                b"Connection: close"]
        head += [k.encode() + b": " + v.encode() for k, v in (headers or {}).items()]
        if body is not None:
            head.append(b"Content-Length: %d" % len(body))
        s.sendall(b"\r\n".join(head) + b"\r\n\r\n" + (body or b""))
        r = http.client.HTTPResponse(s, method=method)
        r.begin()
        return r.status, r.headers, r.read()

    def post_form(self, path, fields, port=None):
        body, ctype = multipart_body(fields)
        return self.http("POST", path, body, {"Content-Type": ctype}, port=port)

    def control(self, command, args=None):
        status, _, body = self.http("POST", b"/__control/" + command.encode(),
                                    json.dumps(args or {}).encode(),
                                    {"Content-Type": "application/json"})
        out = json.loads(body)
        self.assertEqual(status, 200, out)
        return out

    def record(self, kind=None, **match):
        """Entries of the record, each complete: the service answers once no answer it is giving
        can still add to them (a second reply, the file a 226 closed, a page's status)."""
        answer = self.control("record")
        self.assertTrue(answer["settled"], "the service was still answering")
        out = []
        for e in answer["record"]:
            if kind and e["kind"] != kind:
                continue
            if all(e.get(k) == v for k, v in match.items()):
                out.append(e)
        return out

    def wait_for(self, fn, timeout=30):
        """The first true value of fn(), for what happens after the client has seen its cause
        (a dropped connection closes the partial file when the server notices the drop). The
        deadline only bounds a test that fails; a passing one returns as soon as it may."""
        deadline = time.monotonic() + timeout
        while True:
            value = fn()
            if value or time.monotonic() > deadline:
                return value
            time.sleep(0.01)

    def disk(self, path):
        """Bytes of a file under the FTP root (path: bytes as the client names it)."""
        with open(self.state.resolve(path), "rb") as f:
            return f.read()
