"""The record is complete for whatever a client has already been answered: read at once, with
no waiting on the test's side, it holds everything the service notes about that answer."""

import io

from tests.helpers import ServiceCase

ROUNDS = 25     # each round reads the record right after an answer; a race shows within a few


class RecordCompleteTest(ServiceCase):
    def test_store_entry_and_file_once_the_226_is_in(self):
        f = self.ftp()
        for i in range(ROUNDS):
            f.storbinary("STOR /images/orders/p%d.jpg" % i, io.BytesIO(b"photo %d" % i))
            stor = self.record("ftp", cmd="STOR")[-1]
            self.assertEqual([r[:1] + "xx" if r[0] == "1" else r[:3] for r in stor["replies"]],
                             ["1xx", "226"])
            files = self.record("file")
            self.assertEqual(len(files), i + 1)
            self.assertEqual((files[-1]["path"], files[-1]["complete"]),
                             ("/images/orders/p%d.jpg" % i, True))

    def test_every_reply_of_an_abort(self):
        # an ABOR during a store gets two replies; the client goes on after the first
        self.control("faults", {"stor": [{"action": "stall", "seconds": 30, "after_bytes": 10,
                                          "always": True}]})
        f = self.ftp()
        f.voidcmd("TYPE I")
        for i in range(ROUNDS):
            conn = f.transfercmd("STOR /images/orders/a%d.jpg" % i)
            conn.sendall(b"a" * 100)
            self.assertEqual(f.abort()[:3], "426")
            conn.close()
            abor = self.record("ftp", cmd="ABOR")
            self.assertEqual(len(abor), i + 1)
            self.assertEqual([r[:3] for r in abor[-1]["replies"]], ["426", "226"])
            self.assertEqual(f.getresp()[:3], "226")

    def test_end_of_session_once_quit_is_answered(self):
        for i in range(ROUNDS):
            f = self.ftp()
            f.quit()
            ends = self.record("ftp", event="disconnect")
            self.assertEqual(len(ends), i + 1)
            self.assertEqual(ends[-1]["by"], "client")

    def test_status_of_a_page_once_it_is_answered(self):
        for i in range(ROUNDS):
            status, _, _ = self.http("GET", b"/Brimvale/NowDateTime.html")
            self.assertEqual(status, 200)
            self.assertEqual([e.get("status") for e in self.record("http")], [200] * (i + 1))

    def test_reset_ends_sessions_left_open(self):
        f = self.ftp()
        f.voidcmd("NOOP")
        self.control("reset", {"end_sessions": True})
        self.assertEqual(self.record(), [])
        self.assertEqual(self.control("ftp")["sessions"], 0)
        with self.assertRaises((EOFError, OSError)):
            f.voidcmd("NOOP")
