"""What the upload host stores and records: FTP with CP949 names, the two upload scripts, and a
whole order seen on the basket page."""

import ftplib
import hashlib
import io
import re
import urllib.parse
import os
import unittest

from tests.helpers import HANGUL, HANGUL_CP949, ServiceCase

STAMP = b"202401011230001"
DAY = STAMP[:8]
LINE = b"0:0:0:0:0:2:0:0:0:0:0:Y:N:N:Y:N:N:N:::::::::::\r\n"


class FtpNamesTest(ServiceCase):
    def test_cp949_name_stored_and_listed_as_sent(self):
        f = self.ftp()
        folder = "/images/orders/" + "김".encode("cp949").decode("latin-1")
        self.assertIn(f.mkd(folder), ('"%s"' % folder, folder))
        name = HANGUL_CP949.decode("latin-1")
        f.storbinary("STOR %s/%s" % (folder, name), io.BytesIO(b"photo bytes"))
        local = os.path.join(self.root, b"images", b"orders", "김".encode("cp949"))
        self.assertEqual(os.listdir(local), [HANGUL_CP949])
        self.assertEqual(self.disk(b"/images/orders/" + "김".encode("cp949") + b"/" + HANGUL_CP949),
                         b"photo bytes")
        self.assertEqual(f.nlst(folder), [name])
        lines = []
        f.retrlines("LIST " + folder, lines.append)
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].startswith("-rw"))
        self.assertTrue(lines[0].endswith(" " + name), lines[0])
        stor = self.record("ftp", cmd="STOR")[0]
        self.assertEqual(stor["arg"].encode("latin-1"),
                         b"/images/orders/" + "김".encode("cp949") + b"/" + HANGUL_CP949)
        self.assertEqual(stor["replies"][-1][:3], "226")
        files = self.record("file")
        self.assertEqual((files[0]["route"], files[0]["size"], files[0]["complete"]),
                         ("ftp", 11, True))

    def test_session_record_in_order(self):
        f = self.ftp()
        f.cwd("/images/thumbs")
        f.mkd("d")
        f.retrlines("LIST", lambda line: None)
        f.quit()
        # the server records the end of the session after it has answered QUIT
        self.wait_for(lambda: self.record("ftp", event="disconnect"))
        events = [(e["event"], e.get("cmd")) for e in self.record("ftp")]
        self.assertEqual([c for _, c in events if c in ("USER", "PASS", "CWD", "MKD", "LIST")],
                         ["USER", "PASS", "CWD", "MKD", "LIST"])
        self.assertEqual(events[0], ("connect", None))
        self.assertEqual(events[-1], ("disconnect", None))
        mkd = self.record("ftp", cmd="MKD")[0]
        self.assertEqual((mkd["cwd"], mkd["arg"], mkd["replies"][0][:3]), ("/images/thumbs", "d", "257"))

    def test_wrong_password_is_refused(self):
        f = self.ftp(login=False)
        with self.assertRaises(Exception) as e:
            f.login("kestrun_ftp", "wrong")
        self.assertIn("530", str(e.exception))


class UploadScriptsTest(ServiceCase):
    def test_photo_post_stores_bytes_under_dst_dir(self):
        photo = bytes(range(256)) * 40
        name = STAMP + b"_00000_" + HANGUL_CP949.replace(b".jpg", b"\xa3\xa5.jpg")
        status, _, _ = self.post_form(b"/upload_file2.php", [
            (b"dst_dir", b"/images/orders/" + DAY + b"/kim/", None),
            (b"dst_filename", name, None),
            (b"file", photo, b"D:\\Pics\\" + HANGUL_CP949)])
        self.assertEqual(status, 200)
        self.assertEqual(self.disk(b"/images/orders/" + DAY + b"/kim/" + name), photo)
        e = self.record("http", path="/upload_file2.php")[0]
        self.assertEqual([f["name"] for f in e["fields"]], ["dst_dir", "dst_filename", "file"])
        self.assertEqual(e["fields"][1]["value"].encode("latin-1"), name)
        self.assertEqual(e["fields"][2]["filename"].encode("latin-1"), b"D:\\Pics\\" + HANGUL_CP949)
        self.assertEqual(e["fields"][2]["sha256"], hashlib.sha256(photo).hexdigest())
        self.assertEqual(e["stored"].encode("latin-1"), b"/images/orders/" + DAY + b"/kim/" + name)
        self.assertEqual(self.record("file")[0]["sha256"], hashlib.sha256(photo).hexdigest())

    def test_cartinfo_post_places_file_by_dir_and_filename(self):
        text = b"n.jpg:" + LINE
        cases = [  # dir, filename -> where the file lands
            (b"", b"/images/orders/" + DAY + b"/kim//kim[" + STAMP + b"]CartInfo.txt",
             b"/images/orders/" + DAY + b"/kim/kim[" + STAMP + b"]CartInfo.txt"),
            (b"/images/orders/" + DAY + b"/a:", b"b//a:b[" + STAMP + b"]CartInfo.txt",
             b"/images/orders/" + DAY + b"/a:b/a:b[" + STAMP + b"]CartInfo.txt"),
            (b"/images/orders/" + DAY + b"/c\\d//c", b"d[" + STAMP + b"]CartInfo.txt",
             b"/images/orders/" + DAY + b"/c\\d/c\\d[" + STAMP + b"]CartInfo.txt"),
        ]
        for d, name, where in cases:
            with self.subTest(dir=d):
                status, _, _ = self.post_form(b"/upload_cartinfo.php", [
                    (b"dir", d, None), (b"filename", name, None),
                    (b"contents", text.replace(b"%", b"\xa3\xa5") + b"first", None),
                    (b"contents", text, None)])
                self.assertEqual(status, 200)
                self.assertEqual(self.disk(where), text)     # the later "contents" wins

    def test_refused_posts(self):
        cases = [
            (b"/upload_file2.php", [(b"dst_dir", b"/images/orders/", None),
                                    (b"file", b"x", b"x.jpg")], 400),      # no dst_filename
            (b"/upload_file2.php", [(b"dst_dir", b"/images/../../", None),
                                    (b"dst_filename", b"evil", None),
                                    (b"file", b"x", b"x.jpg")], 403),      # leaves the root
            (b"/upload_cartinfo.php", [(b"dir", b"", None),
                                       (b"filename", b"/images/x.txt", None)], 400),
        ]
        for path, fields, expected in cases:
            with self.subTest(path=path, expected=expected):
                self.assertEqual(self.post_form(path, fields)[0], expected)
        self.assertEqual(self.record("file"), [])
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.root), b"evil")))


class WholeOrderTest(ServiceCase):
    def _send_order(self, user):
        """What the client does on the FTP route: photos and thumbnails, then the cart post."""
        f = self.ftp()
        orders = b"/images/orders/" + DAY + b"/" + user + b"/"
        thumbs = b"/images/thumbs/" + DAY + b"/" + user + b"/"
        for folder in (thumbs, orders):
            path = b""
            for piece in folder.strip(b"/").split(b"/"):
                path += b"/" + piece
                try:
                    f.mkd(path.decode("latin-1"))
                except Exception:
                    pass
        names = [STAMP + b"_00000_" + HANGUL_CP949, STAMP + b"_00001_b.png"]
        text = b""
        for i, n in enumerate(names):
            f.storbinary("STOR " + (orders + n).decode("latin-1"), io.BytesIO(b"P%d" % i))
            if i == 0:   # the second photo's thumbnail failed to arrive
                try:     # (as it does when blanks in the user id turn into "_")
                    f.storbinary("STOR " + (thumbs + n).replace(b" ", b"_").decode("latin-1"),
                                 io.BytesIO(b"\xff\xd8thumb"))
                except ftplib.error_perm:
                    pass
            text += n + b":" + LINE.replace(b":2:", b":%d:" % (i + 1), 1)
        text += b"broken record\r\n"
        cart = user + b"[" + STAMP + b"]CartInfo.txt"
        status, _, _ = self.post_form(b"/upload_cartinfo.php", [
            (b"dir", b"", None), (b"filename", orders + b"/" + cart, None),
            (b"contents", text, None), (b"contents", text, None)])
        self.assertEqual(status, 200)
        return cart

    def test_basket_shows_the_order(self):
        user = "김철수".encode("cp949")
        cart = self._send_order(user)
        for query in (b"cartinfo=" + cart + b"&dir=" + DAY + b"&id=" + user + b"&httpapp=2",
                      # as a browser sends it: percent-encoded UTF-8
                      ("cartinfo=%s&dir=%s&id=%s&httpapp=2" % tuple(
                          urllib.parse.quote(x.decode("cp949"))
                          for x in (cart, DAY, user))).encode()):
            with self.subTest(query=query[:20]):
                status, headers, body = self.http("GET", b"/mymenu/Basket_Process_P.html?" + query)
                self.assertEqual(status, 200)
                page = body.decode("cp949")
                self.assertIn("김철수", page)
                self.assertIn(HANGUL.replace(".jpg", ""), page)
                self.assertEqual(page.count("<tr>"), 3)           # header and two photos
                self.assertIn("읽을 수 없는 기록", page)            # shown, not hidden
                self.assertIn("broken record", page)
                self.assertIn("페이퍼풀 무테", page)
                self.assertEqual(page.count('alt="썸네일"'), 1)
                self.assertIn("(썸네일 없음)", page)
                src = re.search(r'<img src="(/images/thumbs/[^"]+)"', page).group(1)
                self.assertEqual(self.http("GET", src.encode())[2], b"\xff\xd8thumb")

    def test_missing_cartinfo(self):
        status, _, body = self.http("GET", b"/mymenu/Basket_Process_P.html?cartinfo=x&dir=" + DAY
                                    + b"&id=nobody&httpapp=2")
        self.assertEqual(status, 404)
        self.assertIn("장바구니 파일을 찾을 수 없습니다", body.decode("cp949"))

    def test_user_id_with_ampersand_and_blank(self):
        cart = self._send_order(b"a&b c")
        status, _, body = self.http("GET", b"/mymenu/Basket_Process_P.html?cartinfo=" + cart
                                    + b"&dir=" + DAY + b"&id=a&b c&httpapp=2")
        self.assertEqual(status, 200)
        self.assertIn("a&amp;b c", body.decode("cp949"))


if __name__ == "__main__":
    unittest.main()
