"""The upload host's FTP server: pyftpdlib on its own thread, names as bytes, a record of every
command, the STOR/login fault switches and a Windows listing style."""

import asynchat
import os
import queue
import socket
import stat
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS, FilesystemError
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.ioloop import IOLoop
from pyftpdlib.servers import FTPServer

from .state import latin1

FTP_USER = "kestrun_ftp"
FTP_PASSWORD = "mbqrwz!"

# Paths travel as CP949 bytes. UTF-8 with surrogateescape maps every byte string to a text and
# back unchanged, and the file system functions use the same mapping, so a name is stored,
# listed and echoed exactly as it was sent.
NAME_ERRORS = "surrogateescape"


def _nodelay(sock):
    try:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    except OSError:
        pass


def _command_name(line):
    head = line.split(b" ", 1)[0].upper()
    # ABOR may come after the Telnet IP/Synch bytes
    if head.endswith(b"ABOR"):
        return "ABOR"
    return head.decode("latin-1")


class DataChannel(DTPHandler):
    """A data connection that obeys the bandwidth limit and the drop/stall switch of its STOR.
    Pacing is exact from the first byte (pyftpdlib's own throttle lets bursts through)."""

    def __init__(self, sock, cmd_channel):
        self._rate = cmd_channel.state.throttle["ftp"]
        self._t0 = None
        self._count = 0
        self._held = 0
        self._stalled = False
        _nodelay(sock)
        super().__init__(sock, cmd_channel)

    def use_sendfile(self):
        if self._rate:
            return False
        try:
            return super().use_sendfile()
        except ValueError:        # asked about a closed file (pyftpdlib's repr does this)
            return False

    def _fault(self):
        return self.cmd_channel._stor_rule if self.receive else None

    def _hold(self, seconds):
        """No reads or writes for a while; holds may overlap."""
        if self._closed:
            return
        if self._held == 0:
            self.del_channel()
        self._held += 1

        def release():
            self._held -= 1
            if self._held == 0 and not self._closed:
                self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)
        self.ioloop.call_later(seconds, release, _errback=self.handle_error)

    def _pace(self, n):
        now = time.monotonic()
        if self._t0 is None:
            self._t0 = now
        self._count += n
        ahead = self._count / self._rate - (now - self._t0)
        if ahead > 0.002:
            self._hold(ahead)

    def recv(self, buffer_size):
        rule = self._fault()
        if rule is not None and rule.action in ("drop", "stall"):
            left = int(rule.get("after_bytes", 0)) - self.tot_bytes_received
            if left > 0:
                buffer_size = min(buffer_size, left)
        if self._rate:
            buffer_size = min(buffer_size, max(1024, self._rate // 20))
        chunk = super().recv(buffer_size)
        if self._rate:
            self._pace(len(chunk))
        return chunk

    def send(self, data):
        if self._rate:
            data = data[:max(1024, self._rate // 20)]
        sent = super().send(data)
        if self._rate and sent:
            self._pace(sent)
        return sent

    def handle_read(self):
        rule = self._fault()
        if rule is not None and rule.action == "drop" \
                and self.tot_bytes_received >= int(rule.get("after_bytes", 0)):
            return self.cmd_channel.fault_drop("drop during STOR after %d bytes"
                                               % self.tot_bytes_received)
        if rule is not None and rule.action == "stall" and not self._stalled \
                and self.tot_bytes_received >= int(rule.get("after_bytes", 0)):
            self._stalled = True
            seconds = float(rule.get("seconds", 1))
            self.cmd_channel.state.add("ftp", session=self.cmd_channel.session, event="fault",
                                       fault="stall %.3f s after %d bytes"
                                       % (seconds, self.tot_bytes_received))
            self._hold(seconds)
            return
        super().handle_read()

    handle_read_event = handle_read


class Filesystem(AbstractedFS):
    """pyftpdlib's file system view; LIST answers in the style the switch asks for."""

    def format_list(self, basedir, listing, ignore_err=True):
        if self.cmd_channel.state.list_style == "windows":
            return self._format_windows(basedir, listing, ignore_err)
        return super().format_list(basedir, listing, ignore_err)

    def _format_windows(self, basedir, listing, ignore_err):
        """The DOS style of Windows FTP servers: date, 12-hour time, "<DIR>" or the size
        right-aligned, then the name as it is stored (blanks and CP949 bytes included):

            05-20-24  12:30PM       <DIR>          20240520
            05-20-24  12:30PM                 1234 name.jpg
        """
        timefunc = time.gmtime if self.cmd_channel.use_gmt_times else time.localtime
        for basename in listing:
            try:
                st = self.stat(os.path.join(basedir, basename))
            except (OSError, FilesystemError):
                if ignore_err:
                    continue
                raise
            stamp = time.strftime("%m-%d-%y  %I:%M%p", timefunc(st.st_mtime))
            if stat.S_ISDIR(st.st_mode):
                middle = "       <DIR>          "
            else:
                middle = " %20d " % st.st_size
            line = stamp + middle + basename + "\r\n"
            yield line.encode("utf-8", self.cmd_channel.unicode_errors)


class Session(FTPHandler):
    """One control connection. `state` is set on the subclass the server makes."""

    state = None
    dtp_handler = DataChannel
    abstracted_fs = Filesystem
    unicode_errors = NAME_ERRORS
    auth_failed_timeout = 0      # tests try wrong passwords; no 3-second penalty
    banner = "Kestrun upload host ready."
    _sessions = 0

    def __init__(self, conn, server, ioloop=None):
        _nodelay(conn)
        super().__init__(conn, server, ioloop=ioloop)
        with self.state.lock:
            Session._sessions += 1
            self.session = Session._sessions
        self._entry = None
        self._stor_rule = None
        self._closed_by_server = False
        self.state.add("ftp", session=self.session, event="connect")

    # --- bytes-as-sent names

    def decode(self, data):
        return data.decode("utf-8", NAME_ERRORS)

    def push(self, s):
        asynchat.async_chat.push(self, s.encode("utf-8", NAME_ERRORS))

    # --- record

    def found_terminator(self):
        line = b"".join(self._in_buffer)
        cmd = _command_name(line)
        arg = line.split(b" ", 1)[1] if b" " in line else b""
        cwd = self.fs.cwd.encode("utf-8", NAME_ERRORS) if self.fs is not None else b""
        self._entry = self.state.add("ftp", session=self.session, event="command", cmd=cmd,
                                     arg=latin1(arg), cwd=latin1(cwd), replies=[])
        super().found_terminator()

    def respond(self, resp, logfun=None):
        # Held until this turn of the FTP loop ends: what the turn notes after a reply (a
        # second reply, the file a 226 closed) belongs to what the client has already seen.
        self.state.begin_answer(FtpServer.TURN)
        if self._entry is not None:
            with self.state.lock:
                self._entry["replies"].append(latin1(resp.encode("utf-8", NAME_ERRORS)))
        if logfun is None:
            super().respond(resp)
        else:
            super().respond(resp, logfun=logfun)

    def close_when_done(self):
        # the client has the last reply (221, or the 226 before a drop) before the session
        # ends and notes its disconnect
        self.state.begin_answer(("ftp close", self.session))
        super().close_when_done()

    def close(self):
        if not self._closed:
            self.state.add("ftp", session=self.session, event="disconnect",
                           by="server" if self._closed_by_server else "client")
        super().close()
        self.state.end_answer(("ftp close", self.session))

    def fault_drop(self, why):
        self.state.add("ftp", session=self.session, event="fault", fault=why)
        self._closed_by_server = True
        if self.data_channel is not None:
            self.data_channel._resp = ()
        self.close()

    # --- login

    def ftp_PASS(self, line):
        if not self.authenticated and self.username and self.state.take_login_refusal():
            self.state.add("ftp", session=self.session, event="fault", fault="login refused")
            self.respond("530 Login incorrect.")
            self.username = ""
            return
        return super().ftp_PASS(line)

    def ftp_SIZE(self, path):
        code = self.state.size_refuse
        if code:
            self.respond("%d Command not understood." % code)
            return None
        return super().ftp_SIZE(path)

    # --- store

    def ftp_STOR(self, file, mode="w"):
        if "a" in mode:
            return super().ftp_STOR(file, mode)
        arg = self._entry["arg"] if self._entry else ""
        rule = self.state.stor_fault(arg, "start")
        if rule is not None and rule.action == "refuse":
            code = int(rule.get("code", 550))
            self.state.add("ftp", session=self.session, event="fault",
                           fault="STOR refused with %d" % code)
            self.respond("%d %s" % (code, rule.get("text", "Refused by the fault switch.")))
            return None
        self._stor_rule = rule
        self._stor_arg = arg
        return super().ftp_STOR(file, mode)

    def on_file_received(self, file):
        self._stor_rule = None
        rule = self.state.stor_fault(getattr(self, "_stor_arg", ""), "done")
        if rule is not None and rule.action == "short":
            # a host that loses the tail of a file and still answers 226 (a full disk, a
            # proxy that cuts); the 226 has gone out, and SIZE comes after this on this loop
            size = os.path.getsize(file)
            keep = max(0, size - int(rule.get("bytes", max(1, size // 2))))
            os.truncate(file, keep)
            self.state.add("ftp", session=self.session, event="fault",
                           fault="stored %d of %d bytes" % (keep, size))
        self.state.add_file("ftp", file, True, session=self.session)
        if rule is not None and rule.action == "drop_after":
            self.state.add("ftp", session=self.session, event="fault",
                           fault="drop after completed STOR")
            self._closed_by_server = True
            self.close_when_done()     # the 226 goes out first

    def on_incomplete_file_received(self, file):
        self._stor_rule = None
        self.state.add_file("ftp", file, False, session=self.session)


class FtpServer:
    """pyftpdlib on a thread of its own. Everything that touches its sockets runs on that
    thread; other threads hand work over through call()."""

    TURN = "ftp loop turn"   # the answer a turn of the loop is giving (see Session.respond)

    def __init__(self, state, host, port, listen=True):
        self.state = state
        self.host = host
        self.ioloop = IOLoop()
        auth = DummyAuthorizer()
        auth.add_user(FTP_USER, FTP_PASSWORD, state.ftp_root, perm="elradfmwMT")
        self.handler = type("BoundSession", (Session,), {"state": state, "authorizer": auth})
        self.server = None
        self.port = port
        if listen:
            self._listen()
        else:
            # a port that refuses connections: find a free one and leave it closed
            s = socket.socket()
            s.bind((host, port))
            self.port = s.getsockname()[1]
            s.close()
        self._tasks = queue.Queue()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, name="ftp", daemon=True)

    def _listen(self):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((self.host, self.port))
        self.port = sock.getsockname()[1]
        self.server = FTPServer(sock, self.handler, ioloop=self.ioloop, backlog=50)

    @property
    def listening(self):
        return self.server is not None

    def start(self):
        self._thread.start()

    def _run(self):
        while not self._stop.is_set():
            while True:
                try:
                    fn, done, box = self._tasks.get_nowait()
                except queue.Empty:
                    break
                try:
                    box.append(fn())
                except Exception as e:          # handed back to the caller
                    box.append(e)
                done.set()
            if self.ioloop.socket_map:
                self.ioloop.poll(0.02)
            else:
                time.sleep(0.02)
            self.ioloop.sched.poll()
            self.state.end_answer(self.TURN)
        try:
            self.ioloop.close()
        except Exception:
            pass

    def call(self, fn, timeout=30):
        if not self._thread.is_alive():
            return fn()
        done, box = threading.Event(), []
        self._tasks.put((fn, done, box))
        if not done.wait(timeout):
            raise TimeoutError("FTP loop did not answer")
        if isinstance(box[0], Exception):
            raise box[0]
        return box[0]

    def sessions(self):
        return [h for h in list(self.ioloop.socket_map.values()) if isinstance(h, Session)]

    # --- control (through call)

    def set_listening(self, on):
        def work():
            if on and self.server is None:
                self._listen()
            elif not on and self.server is not None:
                self.server.close()
                self.server = None
            return self.listening
        return self.call(work)

    def drop_sessions(self):
        def work():
            n = 0
            for h in self.sessions():
                if not h._closed:
                    h.fault_drop("control connection dropped on request")
                    n += 1
            return n
        return self.call(work)

    def stop(self):
        self._stop.set()
        if self._thread.is_alive():
            self._thread.join(5)


def check_names_round_trip():
    """The byte mapping above needs the file system encoding to be UTF-8 (always so on Linux
    with Python 3.7+, unless a legacy locale is forced)."""
    enc = sys.getfilesystemencoding().lower().replace("_", "-")
    if enc not in ("utf-8", "utf8") or sys.getfilesystemencodeerrors() != "surrogateescape":
        raise SystemExit("print service: file names need a UTF-8 file system encoding "
                         "(run with python3 -X utf8)")
    return os.fsencode(b"\xc7\xd1".decode("utf-8", NAME_ERRORS)) == b"\xc7\xd1"
