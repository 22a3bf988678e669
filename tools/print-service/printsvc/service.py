"""The whole service: web server, upload scripts, FTP server and control API on one State."""

import base64
import logging
import os
import threading

from . import ftp
from .state import State, latin1, sha256_file
from .web import WebServer

# 홍길동 has a Hangul id; lee's password holds a letter CP949 cannot hold, so he can never log in
DEMO_ACCOUNTS = {"kim": "kim1234", "홍길동": "abcd1234", "lee": "café1234"}

# How long the record, file list and file reads wait for an answer being given to end.
SETTLE_SECONDS = 20


class Service:
    def __init__(self, data_dir, host="127.0.0.1", http_port=8080, upload_port=None,
                 ftp_port=2121, ftp_listen=True, accounts=None, stamp=None, verbose=False):
        ftp.check_names_round_trip()
        self.verbose = verbose
        self.host = host
        logger = logging.getLogger("pyftpdlib")
        if not logger.handlers:
            handler = logging.StreamHandler()
            handler.setFormatter(logging.Formatter("ftp: %(message)s"))
            logger.addHandler(handler)
        logger.setLevel(logging.INFO if verbose else logging.WARNING)
        logger.propagate = False
        self.state = State(data_dir, DEMO_ACCOUNTS if accounts is None else accounts, stamp)
        self.web = WebServer((host, http_port), self, "web")
        self.upload = None
        if upload_port is not None and upload_port != self.web.server_port:
            self.upload = WebServer((host, upload_port), self, "upload")
        self.ftp = ftp.FtpServer(self.state, host, ftp_port, listen=ftp_listen)
        self._threads = []

    @property
    def web_port(self):
        return self.web.server_port

    @property
    def upload_port(self):
        return (self.upload or self.web).server_port

    def ready_info(self):
        return {"event": "ready", "pid": os.getpid(), "host": self.host,
                "web_port": self.web_port, "upload_port": self.upload_port,
                "ftp_port": self.ftp.port, "ftp_listening": self.ftp.listening,
                "data_dir": self.state.data_dir, "ftp_root": self.state.ftp_root}

    def start(self):
        for srv in filter(None, (self.web, self.upload)):
            t = threading.Thread(target=srv.serve_forever, kwargs={"poll_interval": 0.1},
                                 name="http-" + srv.listener, daemon=True)
            t.start()
            self._threads.append(t)
        self.ftp.start()
        return self

    def stop(self):
        self.state.stop_event.set()
        for srv in filter(None, (self.web, self.upload)):
            srv.shutdown()
            srv.server_close()
        self.ftp.stop()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # --- control API

    def control(self, command, args):
        state = self.state
        if command == "ping":
            return self.ready_info()
        if command == "reset":
            if args.get("end_sessions"):
                # a session left over from before would note its end in the new record
                self.ftp.drop_sessions()
            state.reset(files=bool(args.get("files", False)))
            if args.get("ftp_listen", True) and not self.ftp.listening:
                self.ftp.set_listening(True)
            return {}
        if command == "faults":
            return {"faults": state.set_faults(args)}
        if command == "record":
            kinds = args.get("kinds")
            settled = state.settle(float(args.get("settle", SETTLE_SECONDS)))
            return {"record": state.snapshot(int(args.get("since", 0)),
                                             bool(args.get("bodies", True)), kinds),
                    "settled": settled}
        if command == "files":
            settled = state.settle(float(args.get("settle", SETTLE_SECONDS)))
            return {"files": self.files(), "settled": settled}
        if command == "mkdir":
            local = self._local(args)
            os.makedirs(local, exist_ok=True)
            return {"path": state.rel(local)}
        if command == "put":
            local = self._local(args)
            os.makedirs(os.path.dirname(local), exist_ok=True)
            with open(local, "wb") as f:
                f.write(base64.b64decode(args.get("data_b64", "")))
            return {"path": state.rel(local)}
        if command == "read":
            state.settle(float(args.get("settle", SETTLE_SECONDS)))
            local = self._local(args)
            with open(local, "rb") as f:
                return {"data_b64": base64.b64encode(f.read()).decode("ascii")}
        if command == "stamp":
            value = args.get("value")
            with state.lock:
                state.fixed_stamp = None if value is None else str(value)
            return {"stamp": state.fixed_stamp}
        if command == "accounts":
            with state.lock:
                if args.get("replace"):
                    state.accounts = {}
                state.accounts.update({str(k): str(v) for k, v in args.get("set", {}).items()})
                for k in args.get("remove", []):
                    state.accounts.pop(k, None)
                return {"accounts": sorted(state.accounts)}
        if command == "ftp":
            if "listen" in args:
                self.ftp.set_listening(bool(args["listen"]))
            dropped = self.ftp.drop_sessions() if args.get("drop") else 0
            return {"listening": self.ftp.listening, "dropped": dropped,
                    "sessions": self.ftp.call(lambda: len(self.ftp.sessions()))}
        if command == "release":
            with state.lock:
                state.release_event.set()
                state.release_event = threading.Event()
            return {}
        raise ValueError("unknown control command %r" % command)

    def _local(self, args):
        # "path" is latin-1 text (one character per byte) unless "encoding" names another
        local = self.state.resolve(args["path"].encode(args.get("encoding", "latin-1")))
        if local is None:
            raise ValueError("path leaves the FTP root")
        return local

    def files(self):
        out = []
        root = os.fsencode(self.state.ftp_root)
        for folder, dirs, names in os.walk(root):
            dirs.sort()
            for n in sorted(names):
                local = os.path.join(folder, n)
                size, digest = sha256_file(local)
                out.append({"path": self.state.rel(local), "size": size, "sha256": digest})
        return out
