"""The web server's pages, in EUC-KR (encoded with the CP949 table, which browsers use for
"euc-kr"), and the small pictures they show, drawn here so the service needs no files."""

import html
import struct
import urllib.parse
import zlib

from . import cartinfo

CHARSET = "euc-kr"
CONTENT_TYPE = "text/html; charset=euc-kr"


def encode(text):
    # Anything CP949 cannot hold (a name that came in as UTF-8, say) becomes a character reference.
    return text.encode("cp949", "xmlcharrefreplace")


def png(width, height, pixel):
    """A truecolour PNG; pixel(x, y) -> (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


def _logo(x, y):
    # a blue rounded badge with a white frame, on light blue
    cx, cy = x - 40, y - 40
    d = cx * cx + cy * cy
    if d < 30 * 30:
        return (59, 90, 130) if d < 26 * 26 else (255, 255, 255)
    return (234, 243, 251)


def _stripe(x, y):
    t = x * 255 // 599
    return (234 - t // 8, 243 - t // 12, 251) if (y // 4) % 2 == 0 else (214, 228, 245)


def _sample(x, y):
    # a photo-like test card: sky, ground, a sun
    if (x - 70) ** 2 + (y - 25) ** 2 < 12 ** 2:
        return (250, 210, 60)
    if y < 50:
        return (120 + y, 170 + y, 230)
    return (70, 140 - (y - 50), 60)


ASSETS = {}


def asset(name):
    """Bytes of a picture under /assets/, made once."""
    if name not in ASSETS:
        makers = {"logo.png": (80, 80, _logo), "stripe.png": (600, 24, _stripe),
                  "sample.png": (120, 90, _sample)}
        if name not in makers:
            return None
        w, h, f = makers[name]
        ASSETS[name] = png(w, h, f)
    return ASSETS[name]


def _page(title, body, style=""):
    return encode(
        '<!DOCTYPE html>\n<html lang="ko">\n<head>\n<meta charset="euc-kr">\n'
        '<meta http-equiv="Content-Type" content="text/html; charset=euc-kr">\n'
        "<title>%s</title>\n<style>\nbody{margin:0;font-family:'굴림',sans-serif;font-size:12px;"
        "color:#3b5a82;background:#ffffff}\n%s</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
        % (html.escape(title), style, body))


def banner():
    return _page("케스트런 브림베일", """
<table width="100%" cellspacing="0" cellpadding="6" style="background:#eaf3fb">
<tr><td width="90" rowspan="2"><img src="/assets/logo.png" width="80" height="80" alt="케스트런"></td>
<td><b style="font-size:18px">케스트런 브림베일 사진 인화</b><br>
집에서 고른 사진을 그대로, 선명한 인화지로 보내 드립니다.</td></tr>
<tr><td>이번 달 행사: 4x6 인화 50장 이상 주문 시 배송비 무료 · 고객센터 1588-0000</td></tr>
<tr><td colspan="2"><img src="/assets/stripe.png" width="600" height="24" alt=""></td></tr>
</table>""")


def size_alert():
    return _page("해상도 경고", """
<div style="padding:10px">
<h3 style="margin:0 0 8px 0;color:#c0392b">선택하신 사진의 해상도가 인화 크기에 비해 낮습니다</h3>
<img src="/assets/sample.png" width="120" height="90" align="right" alt="예시 사진">
<p>사진의 화소 수가 부족하면 인화지에 맞추어 크게 늘려 출력해야 하므로, 사진이
흐릿하게 보이거나 계단 모양의 거친 윤곽이 나타날 수 있습니다.</p>
<p>가능하면 원본 크기의 사진을 사용하시거나 더 작은 인화 크기를 선택해 주십시오.
그래도 이 크기로 인화하시려면 [예]를, 주문하지 않으려면 [아니오]를 누르십시오.</p>
<p>화질 저하로 인한 재인화나 환불은 어려운 점 양해 바랍니다.</p>
</div>""")


def option_alert():
    return _page("인화 옵션 안내", """
<div style="padding:10px">
<h3 style="margin:0 0 8px 0">인화 옵션을 선택해 주십시오</h3>
<p><b>페이퍼풀</b>: 사진이 인화지 전체를 채웁니다. 사진과 인화지의 가로세로 비율이 다르면
사진의 가장자리 일부가 잘려 나갑니다. [편집하기]에서 잘릴 부분을 직접 정할 수 있습니다.</p>
<p><b>이미지풀</b>: 사진 전체가 잘림 없이 인화지 안에 들어갑니다. 비율이 다르면 인화지의
남는 부분이 흰 여백으로 남습니다.</p>
<p><b>무테</b>: 테두리 없이 인화합니다. <b>유테</b>: 사진 둘레에 흰 테두리를 두고 인화합니다.</p>
<img src="/assets/sample.png" width="120" height="90" alt="페이퍼풀 예시">
<img src="/assets/sample.png" width="80" height="60" style="border:15px solid #fff;background:#eee" alt="이미지풀 예시">
<p>모든 사진에 레이아웃(페이퍼풀 또는 이미지풀)을 고른 뒤 다시 주문해 주십시오.</p>
</div>""")


def index(ftp_port):
    return _page("인쇄 서비스 (로컬)", """
<div style="padding:10px">
<h3>로컬 인쇄 서비스</h3>
<ul>
<li><a href="/clients/brimvale_1.2A_top.html">배너</a></li>
<li><a href="/popup/ifpf_pop2.htm">해상도 경고</a> · <a href="/popup/ifpf_pop.htm">인화 옵션 안내</a></li>
<li><a href="/Brimvale/NowDateTime.html">서버 시각</a></li>
</ul>
<p>FTP: 127.0.0.1 포트 %d</p>
</div>""" % ftp_port)


def message(title, text):
    return _page(title, '<div style="padding:10px"><h3>%s</h3><p>%s</p></div>'
                 % (html.escape(title), html.escape(text)))


def error_page(text):
    # what a failing PHP script typically prints, with status 200
    return encode('<html><head><meta charset="euc-kr"></head><body><br>\n<b>Warning</b>: %s '
                  'in <b>/var/www/html/upload.php</b> on line <b>42</b><br>\n</body></html>\n'
                  % html.escape(text))


def _text(b):
    return b.decode("cp949", "replace")


def basket(cartinfo_name, day, user, path_shown, data, thumb_url):
    """The basket page of one order. data: the cart-info file's bytes. thumb_url(upload name
    bytes) -> address of its thumbnail, or None when none was stored."""
    records = cartinfo.parse_text(data)
    ok = [r for r in records if r.ok]
    head = "".join("<th>%s</th>" % s for s in cartinfo.SIZES)
    rows = []
    for n, r in enumerate(records, 1):
        if not r.ok:
            rows.append('<tr class="bad"><td>%d</td><td colspan="16">읽을 수 없는 기록: %s<br>'
                        '<code>%s</code></td></tr>'
                        % (n, html.escape(r.error), html.escape(_text(r.raw)) or "(빈 줄)"))
            continue
        url = thumb_url(r.upload_name)
        thumb = ('<img src="%s" width="120" height="105" alt="썸네일">' % html.escape(url)
                 if url else "(썸네일 없음)")
        qty = "".join('<td class="q">%s</td>' % (q if q else "") for q in r.quantities)
        layout = ("%s %s" % (r.layout, "유테" if r.bordered else "무테")) if r.layout else "(선택 안 됨)"
        auto = {True: "적용", False: "미적용", None: "(없음)"}[r.auto_correct]
        crops = "<br>".join("%s: %s" % (cartinfo.SIZES[i], html.escape(c.decode("latin-1")))
                            for i, c in enumerate(r.crops) if c) or "(없음)"
        rows.append('<tr><td>%d</td><td>%s</td><td class="name">%s</td>%s<td>%s</td><td>%s</td>'
                    '<td class="crop">%s</td></tr>'
                    % (n, thumb, html.escape(_text(r.upload_name)), qty, layout, auto, crops))
    total = sum(sum(r.quantities) for r in ok)
    bad = len(records) - len(ok)
    body = """
<div style="padding:10px">
<h2>장바구니</h2>
<p>주문자: <b>%s</b> · 날짜 폴더: %s · 장바구니 파일: %s</p>
<p>사진 %d장, 인화 %d매%s</p>
<table border="1" cellspacing="0" cellpadding="3">
<tr><th>번호</th><th>썸네일</th><th>업로드 이름</th>%s<th>레이아웃</th><th>자동보정</th><th>크롭</th></tr>
%s
</table>
<p style="color:#888">%s</p>
</div>""" % (html.escape(_text(user)), html.escape(_text(day)), html.escape(_text(cartinfo_name)),
             len(ok), total, (" · 읽을 수 없는 기록 %d개" % bad) if bad else "", head,
             "\n".join(rows), html.escape(path_shown))
    style = ("td.q{text-align:right;min-width:24px}tr.bad td{background:#fde2e2;color:#a00}"
             "td.name{font-family:monospace}th{background:#eaf3fb}\n")
    return _page("장바구니", body, style)


def quote_path(b):
    """An address path for bytes as stored (CP949 names percent-encoded)."""
    return urllib.parse.quote_from_bytes(b, safe="/")
