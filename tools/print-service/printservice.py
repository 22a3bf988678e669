#!/usr/bin/python3
"""Local stand-in for the print service: web server, upload scripts and FTP upload host.

    /usr/bin/python3 tools/print-service/printservice.py            # 8080 (HTTP) and 2121 (FTP)
    /usr/bin/python3 tools/print-service/printservice.py --http-port 0 --ftp-port 0

Prints one JSON line {"event": "ready", ...} with the ports and folders once it serves.
"""

import argparse
import json
import os
import shutil
import signal
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from printsvc.service import DEMO_ACCOUNTS, Service  # noqa: E402


def _account(text):
    uid, sep, pw = text.partition(":")
    if not sep or not uid:
        raise argparse.ArgumentTypeError("expected ID:PASSWORD")
    return uid, pw


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--host", default="127.0.0.1", help="address to bind (default 127.0.0.1)")
    p.add_argument("--http-port", type=int, default=8080,
                   help="web server and upload scripts (default 8080; 0 picks a free port)")
    p.add_argument("--upload-port", type=int, default=None,
                   help="serve the upload scripts on a second port as well (0 picks one)")
    p.add_argument("--ftp-port", type=int, default=2121, help="FTP (default 2121; 0 picks one)")
    p.add_argument("--no-ftp", action="store_true",
                   help="do not listen for FTP: the announced port refuses connections")
    p.add_argument("--data-dir", default=None,
                   help="data folder (default: <tmp>/kestrun-print-service); the FTP root is "
                        "its ftp/ folder")
    p.add_argument("--temp-data", action="store_true",
                   help="use a fresh temporary data folder and remove it on exit")
    p.add_argument("--account", action="append", type=_account, default=[],
                   metavar="ID:PASSWORD", help="a member account (repeatable)")
    p.add_argument("--no-demo-accounts", action="store_true",
                   help="without the demo members (%s)" % ", ".join(
                       "%s/%s" % kv for kv in DEMO_ACCOUNTS.items()))
    p.add_argument("--stamp", default=None, help="fixed answer of the server-time page")
    p.add_argument("--faults", default=None, help="fault switches as JSON (see README)")
    p.add_argument("--exit-on-stdin-eof", action="store_true",
                   help="stop when standard input closes (the parent process ended)")
    p.add_argument("--verbose", action="store_true", help="log requests and FTP commands")
    a = p.parse_args(argv)

    if a.temp_data:
        data_dir = tempfile.mkdtemp(prefix="kb-print-service-")
    else:
        data_dir = a.data_dir or os.path.join(tempfile.gettempdir(), "kestrun-print-service")
    accounts = {} if a.no_demo_accounts else dict(DEMO_ACCOUNTS)
    accounts.update(dict(a.account))

    service = Service(data_dir, host=a.host, http_port=a.http_port, upload_port=a.upload_port,
                      ftp_port=a.ftp_port, ftp_listen=not a.no_ftp, accounts=accounts,
                      stamp=a.stamp, verbose=a.verbose)
    if a.faults:
        service.state.set_faults(json.loads(a.faults))

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    if a.exit_on_stdin_eof:
        def watch():
            try:
                while sys.stdin.buffer.read(4096):
                    pass
            except (OSError, ValueError):
                pass
            done.set()
        threading.Thread(target=watch, daemon=True).start()

    service.start()
    print(json.dumps(service.ready_info()), flush=True)
    if not a.verbose and not a.temp_data and sys.stderr.isatty():
        sys.stderr.write("print service: http://%s:%d/  ftp://%s:%d/  data %s\n"
                         % (a.host, service.web_port, a.host, service.ftp.port, data_dir))
    try:
        while not done.wait(0.5):
            pass
    finally:
        service.stop()
        if a.temp_data:
            shutil.rmtree(os.fsencode(data_dir), ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
