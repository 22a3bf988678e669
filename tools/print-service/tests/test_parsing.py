"""The multipart parser and the cart-info record parser, on bytes as the client sends them."""

import unittest

from printsvc import cartinfo, multipart
from tests.helpers import HANGUL_CP949, multipart_body

LINE_2x4x6 = b"0:0:0:0:0:2:0:0:0:0:0:Y:N:N:Y:N:N:N:::::::::::"


class MultipartTest(unittest.TestCase):
    def test_client_form_round_trip(self):
        photo = b"\xff\xd8\r\n--------052024103015123\r\nnot a delimiter\r\n\xff\xd9"
        path = b"D:\\Pics\\" + HANGUL_CP949 + b"%.jpg"
        body, ctype = multipart_body([
            (b"dst_dir", b"/images/orders/20240101/kim/", None),
            (b"dst_filename", b"S_00000_" + HANGUL_CP949, None),
            (b"file", photo, path)])
        parts = multipart.parse(body, multipart.boundary_of(ctype.encode()))
        self.assertEqual([p.name for p in parts], [b"dst_dir", b"dst_filename", b"file"])
        self.assertEqual(parts[1].value, b"S_00000_" + HANGUL_CP949)
        self.assertEqual(parts[2].value, photo)          # CR LF and dashes inside stay data
        self.assertEqual(parts[2].filename, path)        # backslashes are not escapes
        self.assertEqual(parts[2].header(b"content-transfer-encoding"), b"binary")

    def test_later_value_wins(self):
        body, ctype = multipart_body([(b"contents", b"100\xa3\xa5", None),
                                      (b"contents", b"100%", None)])
        parts = multipart.parse(body, multipart.boundary_of(ctype.encode()))
        self.assertEqual(len(parts), 2)
        self.assertEqual(multipart.last_values(parts)[b"contents"].value, b"100%")

    def test_boundary_forms(self):
        self.assertEqual(multipart.boundary_of(b'multipart/form-data; boundary="a b"'), b"a b")
        self.assertEqual(multipart.boundary_of(b"multipart/form-data; boundary=xyz; x=1"), b"xyz")
        self.assertIsNone(multipart.boundary_of(b"text/html"))

    def test_preamble_and_empty_part(self):
        body = b"preamble\r\n--B\r\nContent-Disposition: form-data; name=\"dir\"\r\n\r\n\r\n--B--\r\n"
        parts = multipart.parse(body, b"B")
        self.assertEqual((parts[0].name, parts[0].value), (b"dir", b""))

    def test_broken_bodies(self):
        for body in (b"no delimiter at all",
                     b"--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nvalue",
                     b"--B\r\nno header end--B--"):
            with self.subTest(body=body):
                self.assertRaises(multipart.MultipartError, multipart.parse, body, b"B")


class CartInfoTest(unittest.TestCase):
    CASES = [
        # name, line, layout, bordered, auto, quantities (line order), crops
        ("full line", LINE_2x4x6, "페이퍼풀", False, False,
         [0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0], [b""] * 11),
        ("after reset: no auto-correction field",
         b"1:0:0:0:3:0:0:0:0:0:12:Y:N:N:N:Y:N:10,20,300,400::::::::::", "이미지풀", True, None,
         [1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 12], [b"10,20,300,400"] + [b""] * 10),
        ("auto-correction on, crop for A4", b"0:0:0:0:0:0:0:0:0:0:1:Y:N:Y:N:N:N:Y:" + b":" * 10 + b"-5,0,10,10",
         "페이퍼풀", True, True, [0] * 10 + [1], [b""] * 10 + [b"-5,0,10,10"]),
        ("no layout group", b"0:0:0:0:0:1:0:0:0:0:0:Y:N:N:" + b":" * 10, None, None, False,
         [0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0], [b""] * 11),
    ]

    def test_records(self):
        for name, line, layout, bordered, auto, qty, crops in self.CASES:
            with self.subTest(name):
                r = cartinfo.parse_record(b"202401011200001_00000_" + HANGUL_CP949 + b":" + line)
                self.assertTrue(r.ok, r.error)
                self.assertEqual(r.upload_name, b"202401011200001_00000_" + HANGUL_CP949)
                self.assertEqual((r.layout, r.bordered, r.auto_correct), (layout, bordered, auto))
                self.assertEqual(r.quantities, qty)
                self.assertEqual(r.crops, crops)

    def test_bad_records(self):
        for line in (b"a.jpg:0:0:0:0:0:x:0:0:0:0:0:Y:N:N:Y:N:N:N:::::::::::",   # quantity
                     b"a.jpg:0:0:0:0:0:2:0:0:0:0:0:N:N:N:Y:N:N:N:::::::::::",   # fixed Y:N
                     b"a.jpg:0:0:0:0:0:2:0:0:0:0:0:Y:N:Y:Y:N:N:N:::::::::::",   # two layouts
                     b"a.jpg:0:0:0:0:0:2:0:0:0:0:0:Y:N:N:Y:N:N:N::::::::::",    # a crop short
                     b"a.jpg:0:0:0:0:0:2:0:0:0:0:0:Y:N:N:Y:N:N:N:1,2::::::::::",  # crop text
                     b":" + LINE_2x4x6,                                         # no name
                     b"just some text"):
            with self.subTest(line=line):
                self.assertFalse(cartinfo.parse_record(line).ok)

    def test_file_keeps_unparsable_records(self):
        data = (b"a.jpg:" + LINE_2x4x6 + b"\r\n" + b"garbage\r\n" + b"b.jpg:" + LINE_2x4x6
                + b"\nc.jpg:" + LINE_2x4x6 + b"\r\n" + b"tail without end")
        records = cartinfo.parse_text(data)
        self.assertEqual([r.ok for r in records], [True, False, False, False])
        self.assertEqual(records[-1].raw, b"tail without end")
        self.assertEqual(len(cartinfo.parse_text(b"")), 0)

    def test_upload_name_with_colon(self):
        r = cartinfo.parse_record(b"S_00000_a:b.jpg:" + LINE_2x4x6)
        self.assertTrue(r.ok, r.error)
        self.assertEqual(r.upload_name, b"S_00000_a:b.jpg")


if __name__ == "__main__":
    unittest.main()
