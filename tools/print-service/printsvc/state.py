"""What the service shares between its HTTP threads and its FTP loop: the record of what it
received, the fault switches, the accounts, the data folders."""

import base64
import copy
import hashlib
import os
import random
import shutil
import threading
import time


def latin1(b):
    """Bytes as a JSON-safe text, one character per byte (U+0000..U+00FF)."""
    return b.decode("latin-1")


def sha256_file(path):
    h = hashlib.sha256()
    size = 0
    with open(path, "rb") as f:
        while True:
            block = f.read(1 << 20)
            if not block:
                break
            size += len(block)
            h.update(block)
    return size, h.hexdigest()


class Rule:
    """One fault switch. It counts the events it is asked about (those matching its filter)
    and fires from the nth on, `times` times in all (-1: every time)."""

    def __init__(self, settings, kinds):
        self.settings = dict(settings)
        self.action = settings.get("action")
        if self.action not in kinds:
            raise ValueError("unknown action %r (one of %s)" % (self.action, ", ".join(kinds)))
        self.nth = int(settings.get("nth", 1))
        self.times = -1 if settings.get("always") else int(settings.get("times", 1))
        self.match = settings.get("match", "")
        self.path = settings.get("path", "*")
        self.seen = 0
        self.fired = 0

    def offer(self):
        """Counts one event; True when the rule fires for it."""
        self.seen += 1
        if self.seen >= self.nth and (self.times < 0 or self.fired < self.times):
            self.fired += 1
            return True
        return False

    def report(self):
        d = dict(self.settings)
        d.update(seen=self.seen, fired=self.fired)
        return d

    def __getitem__(self, key):
        return self.settings[key]

    def get(self, key, default=None):
        return self.settings.get(key, default)


STOR_ACTIONS = ("refuse", "drop", "stall", "drop_after", "short")
STOR_DONE_ACTIONS = ("drop_after", "short")     # acting once a store has completed
HTTP_ACTIONS = ("status", "error_page", "body", "hang", "drop", "delay", "flood")
LIST_STYLES = ("unix", "windows")


class Chaos:
    """Seeded random faults, as a poor home line gives them. Every decision is drawn from the
    seed, the kind of event and its number among events of that kind, so the same client
    conversation meets the same faults whatever the timing and however FTP and HTTP
    interleave. A decision is a Rule like those set by hand, so it acts the same way."""

    RATES = ("stor_refuse", "stor_drop", "stor_stall", "drop_after", "login_refuse",
             "http_status", "http_error_page", "http_drop")
    DEFAULT_PATHS = ("/upload_file2.php", "/upload_cartinfo.php")

    def __init__(self, settings):
        self.settings = dict(settings)
        self.seed = settings.get("seed", 0)
        rates = settings.get("rates", {})
        unknown = set(rates) - set(self.RATES)
        if unknown:
            raise ValueError("unknown chaos rates %s (one of %s)"
                             % (", ".join(sorted(unknown)), ", ".join(self.RATES)))
        self.rates = {k: float(rates.get(k, 0)) for k in self.RATES}
        if any(not 0 <= v <= 1 for v in self.rates.values()):
            raise ValueError("chaos rates lie between 0 and 1")
        stall = settings.get("stall_seconds", [0.2, 2.0])
        self.stall = (float(stall), float(stall)) if isinstance(stall, (int, float)) \
            else (float(stall[0]), float(stall[1]))
        self.max_after = int(settings.get("max_after_bytes", 262144))
        self.match = settings.get("match", "")
        self.paths = list(settings.get("paths", self.DEFAULT_PATHS))
        self.statuses = [int(c) for c in settings.get("statuses", (500, 502, 503))]
        self.seen = {}
        self.fired = {}

    def _draw(self, kind):
        n = self.seen.get(kind, 0) + 1
        self.seen[kind] = n
        return random.Random("%s/%s/%d" % (self.seed, kind, n))

    def _fire(self, rate_name, settings, kinds):
        self.fired[rate_name] = self.fired.get(rate_name, 0) + 1
        settings["chaos"] = True
        return Rule(settings, kinds)

    def _pick(self, rnd, names):
        """One of names, each with its own rate, or None: one draw decides."""
        x = rnd.random()
        for name in names:
            x -= self.rates[name]
            if x < 0:
                return name
        return None

    def stor(self, arg, stage):
        if self.match and self.match not in arg:
            return None
        if stage == "done":
            rnd = self._draw("stor_done")
            if self._pick(rnd, ("drop_after",)):
                return self._fire("drop_after", {"action": "drop_after"}, STOR_ACTIONS)
            return None
        rnd = self._draw("stor")
        name = self._pick(rnd, ("stor_refuse", "stor_drop", "stor_stall"))
        if name == "stor_refuse":
            code = rnd.choice((550, 451, 452, 553))
            return self._fire(name, {"action": "refuse", "code": code,
                                     "text": "Store refused (line trouble)."}, STOR_ACTIONS)
        if name == "stor_drop":
            return self._fire(name, {"action": "drop",
                                     "after_bytes": rnd.randint(0, self.max_after)}, STOR_ACTIONS)
        if name == "stor_stall":
            return self._fire(name, {"action": "stall",
                                     "seconds": round(rnd.uniform(*self.stall), 3),
                                     "after_bytes": rnd.randint(0, self.max_after)}, STOR_ACTIONS)
        return None

    def login(self):
        rnd = self._draw("login")
        if self._pick(rnd, ("login_refuse",)):
            self.fired["login_refuse"] = self.fired.get("login_refuse", 0) + 1
            return True
        return False

    def http(self, path):
        if path not in self.paths:
            return None
        rnd = self._draw("http " + path)
        name = self._pick(rnd, ("http_status", "http_error_page", "http_drop"))
        if name == "http_status":
            return self._fire(name, {"action": "status", "status": rnd.choice(self.statuses),
                                     "text": "Warning: upload failed (line trouble)"}, HTTP_ACTIONS)
        if name == "http_error_page":
            return self._fire(name, {"action": "error_page"}, HTTP_ACTIONS)
        if name == "http_drop":
            return self._fire(name, {"action": "drop"}, HTTP_ACTIONS)
        return None

    def report(self):
        d = dict(self.settings)
        d.update(seen=dict(self.seen), fired=dict(self.fired))
        return d


class State:
    def __init__(self, data_dir, accounts=None, stamp=None):
        self.lock = threading.RLock()
        self.data_dir = os.path.abspath(data_dir)
        self.ftp_root = os.path.join(self.data_dir, "ftp")
        self.accounts = dict(accounts or {})
        self.fixed_stamp = stamp
        self.stop_event = threading.Event()      # set when the service stops
        self.release_event = threading.Event()   # ends held ("hang") requests early
        self._seq = 0
        self._stamp_counter = 0
        self.entries = []
        # Answers being given: from the first byte of an answer to the last note the service
        # makes about it (a reply's entry, the file it closed, the status of a page). A client
        # can act on the first byte, so readers of the record wait for these to end.
        self._answering = set()
        self._settled = threading.Condition(self.lock)
        self._clear_faults()
        self.make_folders()

    # --- folders

    def make_folders(self):
        for sub in ("images/orders", "images/thumbs"):
            os.makedirs(os.path.join(self.ftp_root, sub), exist_ok=True)

    def wipe_files(self):
        # A transfer that is still finishing may add a file while the tree is removed; try
        # again rather than fail the reset.
        root = os.fsencode(self.ftp_root)
        for attempt in range(5):
            try:
                if os.path.isdir(root):
                    shutil.rmtree(root)
                break
            except OSError:
                if attempt == 4:
                    raise
                time.sleep(0.05)
        self.make_folders()

    def resolve(self, raw_path):
        """The local path (bytes) of a path under the FTP root as the client names it (bytes),
        or None when it would leave the root. Only "/" separates folders, as on the FTP server,
        so a name holding "\\" lands in the same place by either route."""
        parts = []
        for piece in raw_path.split(b"/"):
            if piece in (b"", b"."):
                continue
            if piece == b"..":
                if not parts:
                    return None
                parts.pop()
                continue
            if b"\0" in piece:
                return None
            parts.append(piece)
        return os.path.join(os.fsencode(self.ftp_root), *parts) if parts else os.fsencode(self.ftp_root)

    def rel(self, local):
        """A local path (str or bytes) as the client's path under the root, latin-1 text."""
        local = os.fsencode(local)
        root = os.fsencode(self.ftp_root)
        r = local[len(root):] if local.startswith(root) else local
        return latin1(r.replace(os.sep.encode(), b"/") or b"/")

    # --- record

    def add(self, kind, **fields):
        with self.lock:
            self._seq += 1
            entry = {"seq": self._seq, "time": round(time.time(), 3), "kind": kind}
            entry.update(fields)
            self.entries.append(entry)
            return entry

    def add_file(self, route, local, complete=True, **extra):
        try:
            size, digest = sha256_file(local)
        except OSError:
            size, digest = -1, None
        return self.add("file", route=route, path=self.rel(local), size=size, sha256=digest,
                        complete=complete, **extra)

    def begin_answer(self, key):
        with self.lock:
            self._answering.add(key)

    def end_answer(self, key):
        with self.lock:
            self._answering.discard(key)
            if not self._answering:
                self._settled.notify_all()

    def settle(self, timeout):
        """Waits until no answer is being given; False when one still was after timeout
        seconds (a client that does not read what it is sent, or a machine far too busy)."""
        with self.lock:
            return self._settled.wait_for(lambda: not self._answering, timeout)

    def snapshot(self, since=0, bodies=True, kinds=None):
        with self.lock:
            out = []
            for e in self.entries:
                if e["seq"] <= since or (kinds and e["kind"] not in kinds):
                    continue
                e = copy.deepcopy(e)
                if not bodies:
                    e.pop("body_b64", None)
                    for f in e.get("fields", ()):
                        if f.get("filename") is not None:
                            f.pop("value_b64", None)
                out.append(e)
            return out

    # --- faults

    def _clear_faults(self):
        self.stor_rules = []
        self.http_rules = []
        self.login_refuse = 0          # FTP logins still to refuse; -1 every one
        self.throttle = {"ftp": 0, "http": 0}
        self.list_style = "unix"       # how FTP LIST shows entries: "unix" or "windows"
        self.set_cookie = []           # Set-Cookie header values of the server-time page
        self.chaos = None              # seeded random faults (Chaos), after the rules
        self.size_refuse = 0           # the reply code for SIZE (500, 502), 0: answered

    def set_faults(self, settings):
        with self.lock:
            if settings.get("clear"):
                self._clear_faults()
            if "stor" in settings:
                self.stor_rules = [Rule(r, STOR_ACTIONS) for r in settings["stor"]]
            if "http" in settings:
                self.http_rules = [Rule(r, HTTP_ACTIONS) for r in settings["http"]]
            if "login_refuse" in settings:
                v = settings["login_refuse"]
                self.login_refuse = -1 if v is True else int(v)
            if "throttle" in settings:
                for k, v in settings["throttle"].items():
                    if k not in self.throttle:
                        raise ValueError("throttle has ftp and http only")
                    self.throttle[k] = max(0, int(v))
            if "list_style" in settings:
                style = settings["list_style"] or "unix"
                if style not in LIST_STYLES:
                    raise ValueError("list_style is one of %s" % ", ".join(LIST_STYLES))
                self.list_style = style
            if "set_cookie" in settings:
                v = settings["set_cookie"]
                v = [] if v is None else [v] if isinstance(v, str) else list(v)
                if not all(isinstance(c, str) and c and "\r" not in c and "\n" not in c
                           for c in v):
                    raise ValueError("set_cookie takes one header value or a list of them")
                self.set_cookie = v
            if "chaos" in settings:
                self.chaos = Chaos(settings["chaos"]) if settings["chaos"] else None
            if "size_refuse" in settings:
                v = settings["size_refuse"]
                self.size_refuse = 500 if v is True else int(v or 0)
                if self.size_refuse and not 500 <= self.size_refuse <= 599:
                    raise ValueError("size_refuse takes a 5xx code (or true, or 0)")
            return self.faults()

    def faults(self):
        with self.lock:
            return {"stor": [r.report() for r in self.stor_rules],
                    "http": [r.report() for r in self.http_rules],
                    "login_refuse": self.login_refuse, "throttle": dict(self.throttle),
                    "list_style": self.list_style, "set_cookie": list(self.set_cookie),
                    "chaos": self.chaos.report() if self.chaos else None,
                    "size_refuse": self.size_refuse}

    def stor_fault(self, arg, stage):
        """The rule that fires for a STOR of arg (latin-1 text). stage "start" asks the rules
        acting at the command (refuse, drop, stall), "done" those acting after a completed
        store (drop_after). Every rule of the stage that matches counts the store."""
        with self.lock:
            chosen = None
            for r in self.stor_rules:
                if (r.action in STOR_DONE_ACTIONS) != (stage == "done"):
                    continue
                if r.match and r.match not in arg:
                    continue
                if r.offer() and chosen is None:
                    chosen = r
            if chosen is None and self.chaos is not None:
                chosen = self.chaos.stor(arg, stage)
            return chosen

    def http_fault(self, path):
        with self.lock:
            chosen = None
            for r in self.http_rules:
                if r.path != "*" and r.path != path:
                    continue
                if r.offer() and chosen is None:
                    chosen = r
            if chosen is None and self.chaos is not None:
                chosen = self.chaos.http(path)
            return chosen

    def take_login_refusal(self):
        with self.lock:
            if self.login_refuse == 0:
                return self.chaos is not None and self.chaos.login()
            if self.login_refuse > 0:
                self.login_refuse -= 1
            return True

    def reset(self, files=False):
        with self.lock:
            self.entries = []
            self._clear_faults()
            self.release_event.set()
            self.release_event = threading.Event()
            if files:
                self.wipe_files()

    # --- server time

    def stamp(self):
        """The order stamp: YYYYMMDDhhmmss and a running digit, 15 characters."""
        with self.lock:
            if self.fixed_stamp is not None:
                return self.fixed_stamp
            self._stamp_counter = (self._stamp_counter + 1) % 10
            return time.strftime("%Y%m%d%H%M%S") + str(self._stamp_counter)


def b64(b):
    return base64.b64encode(b).decode("ascii")
