"""The seeded random faults: the same seed gives the same faults to the same conversation, and
each kind of fault does what its hand-set rule does."""

import ftplib
import io
import socket
import unittest

from tests.helpers import ServiceCase

ORDERS = "/images/orders/"


class ChaosTest(ServiceCase):
    def ftp_session(self, stores=40):
        """A client that logs in again after every failure: per store "ok" or what went wrong."""
        outcome = []
        f = None
        for i in range(stores):
            try:
                if f is None:
                    f = self.ftp()
                f.storbinary("STOR %sp%02d.jpg" % (ORDERS, i), io.BytesIO(b"x" * 3000))
                outcome.append("ok")
            except ftplib.error_perm as e:
                outcome.append(str(e)[:3])
                if str(e).startswith("530"):
                    f = f and self._close_ftp(f)
            except (EOFError, OSError, ftplib.Error) as e:
                outcome.append(type(e).__name__)
                f = f and self._close_ftp(f)
        return outcome

    def faults_seen(self):
        return [e["fault"] for e in self.record("ftp", event="fault")]

    def test_same_seed_same_faults_other_seed_others(self):
        chaos = {"rates": {"stor_refuse": 0.15, "stor_drop": 0.15, "drop_after": 0.1,
                           "login_refuse": 0.1},
                 "max_after_bytes": 2000}
        runs = {}
        for seed in (7, 7, 8):
            self.setUp()
            self.control("faults", {"chaos": dict(chaos, seed=seed)})
            self.ftp_session()
            runs.setdefault(seed, []).append(self.faults_seen())
        self.assertEqual(runs[7][0], runs[7][1])
        self.assertNotEqual(runs[7][0], runs[8][0])
        kinds = {f.split(" ")[0] for f in runs[7][0] + runs[8][0]}
        self.assertTrue({"STOR", "drop", "login"} <= kinds, kinds)
        report = self.control("faults", {})["faults"]["chaos"]
        self.assertEqual(report["seed"], 8)
        self.assertGreater(report["seen"]["stor"], 0)

    def test_stall_holds_the_store_then_it_finishes(self):
        self.control("faults", {"chaos": {"seed": 1, "rates": {"stor_stall": 1},
                                          "stall_seconds": 0.3, "max_after_bytes": 0}})
        f = self.ftp()
        f.storbinary("STOR " + ORDERS + "s.jpg", io.BytesIO(b"y" * 5000))
        self.assertEqual(self.disk(b"/images/orders/s.jpg"), b"y" * 5000)
        self.assertEqual(self.faults_seen(), ["stall 0.300 s after 0 bytes"])

    def test_web_faults_on_upload_scripts_only(self):
        self.control("faults", {"chaos": {"seed": 3, "rates": {"http_status": 0.4,
                                                                "http_drop": 0.3}}})
        got = []
        for i in range(30):
            try:
                got.append(self.post_form(b"/upload_file2.php", [
                    (b"dst_dir", b"/images/orders/d/u/", None),
                    (b"dst_filename", b"p%d.jpg" % i, None), (b"file", b"b", b"p.jpg")])[0])
            except (OSError, socket.error, Exception):
                got.append("dropped")
        self.assertTrue({200, "dropped"} <= set(got), got)
        self.assertTrue(set(got) - {200, "dropped"} <= {500, 502, 503}, got)
        self.assertTrue(set(got) & {500, 502, 503}, got)
        stored = {e["path"] for e in self.record("file")}
        self.assertEqual(len(stored), got.count(200))
        for _ in range(10):     # the server time is left alone
            self.assertEqual(len(self.http("GET", b"/Brimvale/NowDateTime.html")[2]), 15)

    def test_bad_chaos_is_refused_and_reset_clears_it(self):
        for bad in (b'{"chaos": {"rates": {"meteor": 0.1}}}', b'{"chaos": {"rates": {"stor_drop": 2}}}'):
            self.assertEqual(self.http("POST", b"/__control/faults", bad)[0], 400)
        self.control("faults", {"chaos": {"seed": 1, "rates": {"stor_refuse": 1}}})
        self.control("reset", {})
        self.assertIsNone(self.control("faults", {})["faults"]["chaos"])
        self.assertEqual(self.ftp_session(3), ["ok"] * 3)


if __name__ == "__main__":
    unittest.main()
