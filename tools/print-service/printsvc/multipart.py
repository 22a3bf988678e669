"""multipart/form-data over the raw request body.

Values stay bytes: the client sends its texts in CP949 and file parts byte for byte, so nothing
here decodes. Parameters of Content-Disposition are taken as sent: a quoted value runs to the
next double quote, and a backslash is an ordinary character (a Windows path in a filename
parameter arrives with its backslashes unescaped).
"""

import re

_BOUNDARY_RE = re.compile(rb'boundary=(?:"([^"]*)"|([^;\s]+))', re.IGNORECASE)


class MultipartError(ValueError):
    pass


class Part:
    __slots__ = ("headers", "name", "filename", "value", "disposition")

    def __init__(self, headers, value):
        self.headers = headers          # [(name bytes, value bytes)] in the order sent
        self.value = value              # the part's bytes
        self.disposition = self.header(b"content-disposition") or b""
        params = parse_params(self.disposition)
        self.name = params.get(b"name")
        self.filename = params.get(b"filename")

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name:
                return value
        return None


def boundary_of(content_type):
    """The boundary of a multipart Content-Type value (bytes), or None."""
    if content_type is None or not content_type.lower().startswith(b"multipart/form-data"):
        return None
    m = _BOUNDARY_RE.search(content_type)
    if not m:
        return None
    return m.group(1) if m.group(1) is not None else m.group(2)


def parse_params(value):
    """Parameters of a header value such as 'form-data; name="a"; filename="C:\\x.jpg"'."""
    params = {}
    i, n = 0, len(value)
    # skip the disposition type itself
    semi = value.find(b";")
    if semi < 0:
        return params
    i = semi + 1
    while i < n:
        while i < n and value[i:i + 1] in (b" ", b"\t", b";"):
            i += 1
        eq = value.find(b"=", i)
        if eq < 0:
            break
        key = value[i:eq].strip().lower()
        i = eq + 1
        if value[i:i + 1] == b'"':
            # the value runs to the closing quote that ends the parameter
            j = i + 1
            end = -1
            while True:
                q = value.find(b'"', j)
                if q < 0:
                    break
                rest = value[q + 1:].lstrip(b" \t")
                if not rest or rest.startswith(b";"):
                    end = q
                    break
                j = q + 1
            if end < 0:
                raise MultipartError("unterminated quoted parameter")
            params.setdefault(key, value[i + 1:end])
            i = end + 1
        else:
            j = value.find(b";", i)
            if j < 0:
                j = n
            params.setdefault(key, value[i:j].strip())
            i = j
    return params


def parse(body, boundary):
    """The parts of a multipart body, in the order sent. Raises MultipartError when the body
    does not follow the delimiter structure (no opening delimiter, no closing one)."""
    if not boundary:
        raise MultipartError("no boundary")
    delim = b"--" + boundary
    if body.startswith(delim):
        pos = len(delim)
    else:
        first = body.find(b"\r\n" + delim)
        if first < 0:
            raise MultipartError("opening delimiter missing")
        pos = first + 2 + len(delim)
    parts = []
    while True:
        if body.startswith(b"--", pos):
            return parts                     # closing delimiter; the epilogue is ignored
        eol = body.find(b"\r\n", pos)
        if eol < 0:
            raise MultipartError("delimiter line not ended")
        if body[pos:eol].strip(b" \t"):
            raise MultipartError("text after delimiter")
        start = eol + 2
        end = body.find(b"\r\n" + delim, start)
        if end < 0:
            raise MultipartError("closing delimiter missing")
        parts.append(_part(body[start:end]))
        pos = end + 2 + len(delim)


def _part(raw):
    sep = raw.find(b"\r\n\r\n")
    if raw.startswith(b"\r\n"):
        head, value = b"", raw[2:]
    elif sep < 0:
        raise MultipartError("part without header end")
    else:
        head, value = raw[:sep], raw[sep + 4:]
    headers = []
    for line in head.split(b"\r\n"):
        if not line:
            continue
        if line[:1] in (b" ", b"\t") and headers:   # folded header line
            k, v = headers[-1]
            headers[-1] = (k, v + b" " + line.strip())
            continue
        colon = line.find(b":")
        if colon < 0:
            raise MultipartError("malformed part header")
        headers.append((line[:colon].strip(), line[colon + 1:].strip()))
    return Part(headers, value)


def last_values(parts):
    """name → value, the later part winning where a name occurs twice (as a PHP server does)."""
    fields = {}
    for p in parts:
        if p.name is not None:
            fields[p.name] = p
    return fields
