"""Records of the cart-info file, as the client writes them.

One record per photo: upload name, ":", then the photo's line: 11 quantities in the line order
D3, D5, D6, wallet, 3x5, 4x6, 5x7, 8x10, 11x14, 12x17, A4; the fixed "Y:N:"; the layout group
(four fields, exactly one "Y", or absent); the auto-correction field ("Y"/"N", or absent); the
11 crop texts ("x,y,w,h" or empty) in the same line order; CR LF.
"""

import re

SIZES = ("D3", "D5", "D6", "지갑", "3x5", "4x6", "5x7", "8x10", "11x14", "12x17", "A4")

LAYOUTS = {
    ("Y", "N", "N", "N"): ("페이퍼풀", True),
    ("N", "Y", "N", "N"): ("페이퍼풀", False),
    ("N", "N", "Y", "N"): ("이미지풀", True),
    ("N", "N", "N", "Y"): ("이미지풀", False),
}

_QTY = re.compile(rb"^(0|[1-9][0-9]*)$")
_CROP = re.compile(rb"^-?[0-9]+,-?[0-9]+,-?[0-9]+,-?[0-9]+$")


class Record:
    """One parsed record, or one that could not be parsed (error set, raw kept)."""

    def __init__(self, raw, error=None):
        self.raw = raw
        self.error = error
        self.upload_name = None     # bytes, as stored on the server
        self.quantities = []        # 11 ints, line order
        self.layout = None          # "페이퍼풀" / "이미지풀" / None (absent)
        self.bordered = None
        self.auto_correct = None    # True / False / None (absent)
        self.crops = []             # 11 bytes, line order

    @property
    def ok(self):
        return self.error is None

    def as_dict(self):
        d = {"raw": self.raw.decode("latin-1"), "ok": self.ok}
        if self.ok:
            d.update(upload_name=self.upload_name.decode("latin-1"),
                     quantities=self.quantities, layout=self.layout, bordered=self.bordered,
                     auto_correct=self.auto_correct,
                     crops=[c.decode("latin-1") for c in self.crops])
        else:
            d["error"] = self.error
        return d


def _parse_fields(fields):
    """The line after the upload name, as a list of byte fields, into a dict; ValueError if not."""
    if len(fields) < 24:
        raise ValueError("필드 수가 모자랍니다 (%d)" % len(fields))
    quantities = []
    for f in fields[:11]:
        if not _QTY.match(f):
            raise ValueError("수량이 숫자가 아닙니다: %r" % f.decode("latin-1"))
        quantities.append(int(f))
    if fields[11:13] != [b"Y", b"N"]:
        raise ValueError('고정 필드 "Y:N"이 없습니다')
    rest = fields[13:]
    layout = bordered = auto = None
    if len(rest) in (15, 16):
        group = tuple(f.decode("latin-1") for f in rest[:4])
        if group not in LAYOUTS:
            raise ValueError("레이아웃 필드가 잘못되었습니다: %s" % ":".join(group))
        layout, bordered = LAYOUTS[group]
        rest = rest[4:]
    if len(rest) == 12:
        if rest[0] not in (b"Y", b"N"):
            raise ValueError("자동보정 필드가 잘못되었습니다")
        auto = rest[0] == b"Y"
        rest = rest[1:]
    if len(rest) != 11:
        raise ValueError("필드 수가 맞지 않습니다 (%d)" % len(fields))
    for c in rest:
        if c and not _CROP.match(c):
            raise ValueError("크롭 필드가 잘못되었습니다: %r" % c.decode("latin-1"))
    return quantities, layout, bordered, auto, list(rest)


def parse_record(raw):
    """raw: one record without its CR LF."""
    parts = raw.split(b":")
    error = "필드 수가 모자랍니다"
    # The upload name normally holds no ":"; should it, the first split that leaves a valid
    # line wins, so such a record is still shown rather than rejected.
    for k in range(1, max(2, len(parts) - 23)):
        name = b":".join(parts[:k])
        try:
            q, layout, bordered, auto, crops = _parse_fields(parts[k:])
        except ValueError as e:
            if k == 1:
                error = str(e)
            continue
        if not name:
            error = "업로드 이름이 비어 있습니다"
            break
        r = Record(raw)
        r.upload_name, r.quantities, r.layout, r.bordered = name, q, layout, bordered
        r.auto_correct, r.crops = auto, crops
        return r
    return Record(raw, error)


def parse_text(data):
    """All records of a cart-info file (bytes). A final piece without CR LF, or a line holding a
    lone CR or LF, is reported as an unparsable record."""
    records = []
    pieces = data.split(b"\r\n")
    tail = pieces.pop()               # after the last CR LF: empty for a well-formed file
    for p in pieces:
        if b"\n" in p or b"\r" in p:
            records.append(Record(p, "줄 끝이 CR LF가 아닙니다"))
        elif p == b"":
            records.append(Record(p, "빈 줄"))
        else:
            records.append(parse_record(p))
    if tail:
        records.append(Record(tail, "마지막 줄이 CR LF로 끝나지 않습니다"))
    return records
