"""The web server's pages and scripts, over real HTTP."""

import re
import socket
import time
import unittest
import urllib.parse
import urllib.request

from tests.helpers import ServiceCase


class PagesTest(ServiceCase):
    PAGES = [b"/clients/brimvale_1.2A_top.html", b"/popup/ifpf_pop2.htm", b"/popup/ifpf_pop.htm"]
    TEXTS = {b"/popup/ifpf_pop2.htm": "해상도", b"/popup/ifpf_pop.htm": "페이퍼풀"}

    def test_pages_are_euc_kr_with_images(self):
        for path in self.PAGES:
            with self.subTest(path=path):
                status, headers, body = self.http("GET", path)
                self.assertEqual(status, 200)
                self.assertEqual(headers["Content-Type"], "text/html; charset=euc-kr")
                self.assertIn(b'<meta charset="euc-kr">', body)
                text = body.decode("cp949")                    # strict: no stray bytes
                if path in self.TEXTS:
                    self.assertIn(self.TEXTS[path], text)
                images = re.findall(r'<img src="([^"]+)" width="(\d+)" height="(\d+)"', text)
                self.assertTrue(images)
                if b"top" in path:
                    # the banner's pictures stand in rows of their own: taller than the strip
                    self.assertGreater(sum(int(h) for _, _, h in images), 97)
                for src, _, _ in images:
                    s, hd, png = self.http("GET", src.encode())
                    self.assertEqual((s, hd["Content-Type"], png[:8]),
                                     (200, "image/png", b"\x89PNG\r\n\x1a\n"))

    def test_server_time(self):
        seen = set()
        for _ in range(3):
            status, _, body = self.http("GET", b"/Brimvale/NowDateTime.html")
            self.assertEqual(status, 200)
            self.assertRegex(body.decode("ascii"), r"^\d{15}$")
            self.assertEqual(body[:8], time.strftime("%Y%m%d").encode())
            seen.add(body)
        self.assertEqual(len(seen), 3)          # the running digit tells requests apart
        self.control("stamp", {"value": "202401011230001"})
        self.assertEqual(self.http("GET", b"/Brimvale/NowDateTime.html")[2], b"202401011230001")

    def test_login(self):
        hong_cp949 = urllib.parse.quote_from_bytes("홍길동".encode("cp949"))
        hong_utf8 = urllib.parse.quote("홍길동")
        cases = [(b"userid=kim&pass=kim1234", b"OK"),
                 (b"userid=kim&pass=kim12345", b"FAIL"),
                 (b"userid=KIM&pass=kim1234", b"FAIL"),
                 (b"userid=kim", b"FAIL"),
                 (("userid=%s&pass=abcd1234" % hong_cp949).encode(), b"OK"),
                 # ids are compared as CP949 bytes, as by the real service
                 (("userid=%s&pass=abcd1234" % hong_utf8).encode(), b"FAIL"),
                 # a password CP949 cannot hold matches nothing that can be sent
                 (b"userid=lee&pass=" + urllib.parse.quote("café1234").encode(), b"FAIL"),
                 (b"userid=lee&pass=caf%3F1234", b"FAIL")]
        for query, answer in cases:
            with self.subTest(query=query):
                status, _, body = self.http("GET", b"/app_login.php?" + query)
                self.assertEqual((status, body), (200, answer))   # "OK" has no line end
        self.control("accounts", {"set": {"lee": "a b+c"}})
        self.assertEqual(self.http("GET", b"/app_login.php?userid=lee&pass=a+b%2Bc")[2], b"OK")

    def test_raw_bytes_and_blanks_on_the_request_line(self):
        # 0x85 and 0xA0 are CP949 trail bytes and also Unicode white space: they must not split
        # the request line, nor must a blank that the client sent unencoded.
        target = b"/nowhere/\xb0\x85\xa0 x?id=a b&k=\xc7\xd1"
        with socket.create_connection(("127.0.0.1", self.service.web_port), timeout=5) as s:
            s.sendall(b"GET " + target + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            answer = b""
            while True:
                block = s.recv(65536)
                if not block:
                    break
                answer += block
        self.assertTrue(answer.startswith(b"HTTP/1.1 404"), answer[:40])
        e = self.record("http")[-1]
        self.assertEqual(e["target"].encode("latin-1"), target)
        self.assertEqual(e["query"].encode("latin-1"), b"id=a b&k=\xc7\xd1")

    def test_control_rejects_unknown_command(self):
        status, _, body = self.http("POST", b"/__control/nonsense", b"{}")
        self.assertEqual(status, 400)
        self.assertIn(b"unknown control command", body)
        self.assertEqual(self.record("http"), [])          # control calls are not recorded

    def test_urllib_client_sees_pages(self):
        url = "http://127.0.0.1:%d/popup/ifpf_pop2.htm" % self.service.web_port
        with urllib.request.urlopen(url, timeout=5) as r:
            self.assertEqual(r.headers.get_content_charset(), "euc-kr")


class TwoListenersTest(ServiceCase):
    service_options = {"upload_port": 0}

    def test_upload_port_is_its_own_listener(self):
        self.assertNotEqual(self.service.upload_port, self.service.web_port)
        status, _, _ = self.post_form(b"/upload_file2.php", [
            (b"dst_dir", b"/images/orders/d/u/", None), (b"dst_filename", b"a.jpg", None),
            (b"file", b"abc", b"a.jpg")], port=self.service.upload_port)
        self.assertEqual(status, 200)
        self.assertEqual([e["listener"] for e in self.record("http")], ["upload"])


if __name__ == "__main__":
    unittest.main()
