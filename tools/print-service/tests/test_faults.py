"""Every fault switch, seen through real clients."""

import ftplib
import io
import os
import re
import socket
import threading
import time
import unittest

from tests.helpers import ServiceCase

ORDERS = "/images/orders/"
# A throttled transfer of about a second must not take longer than this: well past what a busy
# machine adds, well short of a pace that has stopped.
SLOWEST = 30


class FtpFaultsTest(ServiceCase):
    def store(self, f, name, data=b"photo"):
        f.storbinary("STOR " + ORDERS + name, io.BytesIO(data))

    def test_refuse_nth_store_once_or_always(self):
        for always, outcome in ((False, ["ok", "550", "ok", "ok"]), (True, ["ok", "550", "550", "550"])):
            with self.subTest(always=always):
                self.setUp()
                self.control("faults", {"stor": [{"action": "refuse", "nth": 2, "always": always}]})
                f = self.ftp()
                got = []
                for i in range(4):
                    try:
                        self.store(f, "p%d.jpg" % i)
                        got.append("ok")
                    except ftplib.error_perm as e:
                        got.append(str(e)[:3])
                self.assertEqual(got, outcome)
                self.assertEqual(os.path.exists(os.path.join(self.root, b"images/orders/p1.jpg")), False)
                self.assertEqual(len(self.record("ftp", event="fault")), outcome.count("550"))

    def test_match_counts_only_matching_stores(self):
        self.control("faults", {"stor": [{"action": "refuse", "nth": 1, "match": "/images/thumbs/",
                                          "code": 553}]})
        f = self.ftp()
        self.store(f, "a.jpg")
        with self.assertRaisesRegex(ftplib.error_perm, "^553"):
            f.storbinary("STOR /images/thumbs/a.jpg", io.BytesIO(b"t"))

    def test_drop_during_store_after_k_bytes(self):
        self.control("faults", {"stor": [{"action": "drop", "nth": 2, "after_bytes": 1000}]})
        f = self.ftp()
        self.store(f, "first.jpg")
        with self.assertRaises((EOFError, OSError, ftplib.Error)):
            self.store(f, "second.jpg", b"x" * 200000)
            f.voidcmd("NOOP")
        self.assertTrue(self.wait_for(lambda: len(self.record("file")) == 2))
        self.assertEqual([e["complete"] for e in self.record("file")], [True, False])
        self.assertEqual(self.disk(b"/images/orders/second.jpg"), b"x" * 1000)
        self.assertEqual(self.record("ftp", event="disconnect")[-1]["by"], "server")
        self.store(self.ftp(), "third.jpg")                 # a new login works again

    def test_stall_then_finish(self):
        self.control("faults", {"stor": [{"action": "stall", "seconds": 0.6, "after_bytes": 10}]})
        f = self.ftp()
        t0 = time.monotonic()
        self.store(f, "slow.jpg", b"y" * 50000)
        self.assertGreaterEqual(time.monotonic() - t0, 0.55)
        self.assertEqual(self.disk(b"/images/orders/slow.jpg"), b"y" * 50000)

    def test_abort_during_stalled_store(self):
        self.control("faults", {"stor": [{"action": "stall", "seconds": 5, "after_bytes": 1000}]})
        f = self.ftp()
        f.voidcmd("TYPE I")
        conn = f.transfercmd("STOR " + ORDERS + "cancelled.jpg")
        conn.sendall(b"c" * 5000)
        f.abort()
        conn.close()
        abor = self.wait_for(lambda: self.record("ftp", cmd="ABOR"))
        self.assertTrue(abor)
        self.assertEqual(abor[0]["replies"][-2:], ["426 Transfer aborted via ABOR.", "226 ABOR command successful."])
        self.assertFalse(self.wait_for(lambda: self.record("file"))[0]["complete"])

    def test_short_store_still_answers_226(self):
        self.control("faults", {"stor": [{"action": "short", "nth": 2, "bytes": 3}]})
        f = self.ftp()
        f.voidcmd("TYPE I")
        for name in ("a.jpg", "b.jpg", "c.jpg"):
            self.assertTrue(f.storbinary("STOR " + ORDERS + name, io.BytesIO(b"0123456789"))
                            .startswith("226"))
        self.assertEqual([f.size(ORDERS + n) for n in ("a.jpg", "b.jpg", "c.jpg")], [10, 7, 10])
        self.assertEqual(self.disk(b"/images/orders/b.jpg"), b"0123456")

    def test_size_refused(self):
        self.control("faults", {"size_refuse": 502})
        f = self.ftp()
        f.voidcmd("TYPE I")
        self.store(f, "a.jpg")
        with self.assertRaises(ftplib.error_perm) as e:
            f.size(ORDERS + "a.jpg")
        self.assertTrue(str(e.exception).startswith("502"))
        self.control("faults", {"size_refuse": 0})
        self.assertEqual(f.size(ORDERS + "a.jpg"), 5)

    def test_drop_after_completed_store(self):
        self.control("faults", {"stor": [{"action": "drop_after", "nth": 1}]})
        f = self.ftp()
        self.store(f, "a.jpg")                              # its 226 still arrives
        with self.assertRaises((EOFError, OSError)):
            f.voidcmd("NOOP")
        self.assertEqual(self.disk(b"/images/orders/a.jpg"), b"photo")

    def test_refuse_logins(self):
        self.control("faults", {"login_refuse": 2})
        for expected in ("530", "530", "230"):
            f = self.ftp(login=False)
            try:
                got = f.login("kestrun_ftp", "mbqrwz!")[:3]
            except ftplib.error_perm as e:
                got = str(e)[:3]
            self.assertEqual(got, expected)

    def test_throttle(self):
        self.control("faults", {"throttle": {"ftp": 100000}})
        f = self.ftp()
        t0 = time.monotonic()
        self.store(f, "t.jpg", b"z" * 120000)
        self.assertTrue(1.0 <= time.monotonic() - t0 < SLOWEST, time.monotonic() - t0)
        self.assertEqual(self.disk(b"/images/orders/t.jpg"), b"z" * 120000)

    def test_folder_in_another_letter_case(self):
        self.control("mkdir", {"path": "/images/Orders/20240101"})
        f = self.ftp()
        names = f.nlst("/images")
        self.assertIn("Orders", names)
        self.assertIn("orders", names)
        f.mkd("/images/orders/20240101")                    # the exact name is still missing

    def test_windows_listing(self):
        self.control("mkdir", {"path": "/images/orders/20240520"})
        self.control("mkdir", {"path": "/images/orders/홍 길동  x", "encoding": "cp949"})
        self.control("put", {"path": "/images/orders/사진 1.jpg", "encoding": "cp949",
                             "data_b64": "eHl6"})
        self.control("faults", {"list_style": "windows"})
        f = self.ftp()
        lines = []
        f.retrlines("LIST /images/orders", lines.append)
        self.assertEqual(len(lines), 3, lines)
        entries = {}
        for line in lines:
            m = re.match(r"^(\d\d-\d\d-\d\d  \d\d:\d\d[AP]M)( {7}<DIR> {10}| +\d+ )(.*)$", line)
            self.assertTrue(m, line)
            self.assertEqual(len(m.group(1) + m.group(2)), 39, line)    # names in one column
            entries[m.group(3).encode("latin-1")] = m.group(2).strip()
        self.assertEqual(entries, {b"20240520": "<DIR>", "홍 길동  x".encode("cp949"): "<DIR>",
                                   "사진 1.jpg".encode("cp949"): "3"})
        self.assertEqual(len(f.nlst("/images/orders")), 3)          # NLST stays names only
        self.assertEqual(self.control("faults", {"list_style": "unix"})["faults"]["list_style"],
                         "unix")
        lines = []
        f.retrlines("LIST /images/orders", lines.append)
        self.assertTrue(all(line[0] in "-d" for line in lines), lines)
        self.control("faults", {"list_style": "windows"})
        self.control("reset")                                       # back to Unix style
        self.assertEqual(self.control("faults")["faults"]["list_style"], "unix")
        status, _, _ = self.http("POST", b"/__control/faults", b'{"list_style": "vms"}')
        self.assertEqual(status, 400)

    def test_listener_off_refuses_connections(self):
        self.assertFalse(self.control("ftp", {"listen": False})["listening"])
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", self.service.ftp.port), timeout=2)
        self.assertTrue(self.control("ftp", {"listen": True})["listening"])
        self.ftp()

    def test_drop_sessions_on_request(self):
        f = self.ftp()
        self.assertEqual(self.control("ftp", {"drop": True})["dropped"], 1)
        with self.assertRaises((EOFError, OSError)):
            f.voidcmd("NOOP")


class HttpFaultsTest(ServiceCase):
    def photo(self, n):
        return self.post_form(b"/upload_file2.php", [
            (b"dst_dir", b"/images/orders/d/u/", None), (b"dst_filename", b"p%d.jpg" % n, None),
            (b"file", b"bytes", b"C:\\p.jpg")])

    def test_nth_photo_post_fails(self):
        cases = [({"action": "status", "status": 500}, 500, False),
                 ({"action": "error_page"}, 200, False),
                 ({"action": "body", "body": "ERROR"}, 200, False),
                 ({"action": "delay", "seconds": 0.2}, 200, True)]
        for rule, status, stored in cases:
            with self.subTest(rule=rule["action"]):
                self.setUp()
                rule = dict(rule, path="/upload_file2.php", nth=2)
                self.control("faults", {"http": [rule]})
                self.assertEqual([self.photo(i)[0] for i in range(3)], [200, status, 200])
                self.assertEqual(os.path.exists(self.state.resolve(b"/images/orders/d/u/p1.jpg")),
                                 stored)
                self.assertEqual(self.record("http")[1]["fault"], rule["action"])

    def test_cartinfo_post_error(self):
        self.control("faults", {"http": [{"path": "/upload_cartinfo.php", "action": "status",
                                          "status": 503}]})
        status, _, _ = self.post_form(b"/upload_cartinfo.php", [
            (b"dir", b"", None), (b"filename", b"/images/c.txt", None), (b"contents", b"x", None)])
        self.assertEqual(status, 503)
        self.assertEqual(self.record("file"), [])

    def test_server_time_of_another_length_first_n(self):
        self.control("faults", {"http": [{"path": "/Brimvale/NowDateTime.html", "action": "body",
                                          "body": "20240101", "times": 2}]})
        got = [len(self.http("GET", b"/Brimvale/NowDateTime.html")[2]) for _ in range(3)]
        self.assertEqual(got, [8, 8, 15])

    def test_server_time_sets_cookies_and_the_record_keeps_them(self):
        page = b"/Brimvale/NowDateTime.html"
        self.assertIsNone(self.http("GET", page)[1]["Set-Cookie"])
        self.control("faults", {"set_cookie": ["KBSESS=s1; path=/", "lang=ko; path=/"]})
        _, headers, body = self.http("GET", page)
        self.assertEqual(len(body), 15)
        self.assertEqual(headers.get_all("Set-Cookie"), ["KBSESS=s1; path=/", "lang=ko; path=/"])
        self.assertIsNone(self.http("GET", b"/popup/ifpf_pop.htm")[1]["Set-Cookie"])
        self.post_form(b"/upload_file2.php", [(b"dst_dir", b"/images/", None),
                                              (b"dst_filename", b"t", None),
                                              (b"file", b"x", b"t")])
        self.http("GET", b"/Brimvale/NowDateTime.html", headers={"Cookie": "KBSESS=s1; lang=ko"})
        entries = self.record("http")
        self.assertEqual([e["path"] for e in entries], ["/Brimvale/NowDateTime.html"] * 2
                         + ["/popup/ifpf_pop.htm", "/upload_file2.php", "/Brimvale/NowDateTime.html"])
        cookies = [[v for k, v in e["headers"] if k.lower() == "cookie"] for e in entries]
        self.assertEqual(cookies, [[], [], [], [], ["KBSESS=s1; lang=ko"]])
        self.control("faults", {"set_cookie": None})
        self.assertIsNone(self.http("GET", page)[1]["Set-Cookie"])
        status, _, _ = self.http("POST", b"/__control/faults", b'{"set_cookie": "a=b\\r\\nX: y"}')
        self.assertEqual(status, 400)

    def test_hang_until_released(self):
        self.control("faults", {"http": [{"path": "*", "action": "hang", "always": True}]})
        with self.assertRaises(socket.timeout):
            self.http("GET", b"/Brimvale/NowDateTime.html", timeout=0.3)
        result = []
        t = threading.Thread(target=lambda: result.append(
            self._try(lambda: self.http("GET", b"/popup/ifpf_pop.htm", timeout=5))))
        t.start()
        # released only once it is held: a release before it arrives would not end it
        self.assertTrue(self.wait_for(lambda: self.record("http", path="/popup/ifpf_pop.htm")))
        self.control("release")                 # the control API itself never hangs
        t.join(30)
        self.assertIsInstance(result[0], Exception)   # closed without an answer

    def test_drop_without_answer(self):
        self.control("faults", {"http": [{"path": "/app_login.php", "action": "drop"}]})
        self.assertIsInstance(self._try(lambda: self.http("GET", b"/app_login.php?userid=kim")),
                              Exception)
        self.assertEqual(self.http("GET", b"/app_login.php?userid=kim&pass=kim1234")[2], b"OK")

    def test_throttle_post(self):
        self.control("faults", {"throttle": {"http": 100000}})
        t0 = time.monotonic()
        body = b"q" * 120000
        self.post_form(b"/upload_file2.php", [(b"dst_dir", b"/images/", None),
                                              (b"dst_filename", b"t", None), (b"file", body, b"t")])
        self.assertTrue(1.0 <= time.monotonic() - t0 < SLOWEST, time.monotonic() - t0)
        self.assertEqual(self.disk(b"/images/t"), body)

    def test_bad_rule_is_refused(self):
        status, _, body = self.http("POST", b"/__control/faults",
                                    b'{"stor": [{"action": "explode"}]}')
        self.assertEqual(status, 400)

    @staticmethod
    def _try(fn):
        try:
            return fn()
        except Exception as e:
            return e


if __name__ == "__main__":
    unittest.main()
