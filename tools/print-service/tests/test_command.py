"""The service as a program: the ready line, the options, a clean stop."""

import json
import os
import signal
import socket
import subprocess
import sys
import unittest
import urllib.request

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAM = os.path.join(HERE, "printservice.py")


class CommandTest(unittest.TestCase):
    def start(self, *args):
        p = subprocess.Popen([sys.executable, PROGRAM, "--http-port", "0", "--ftp-port", "0",
                              "--temp-data"] + list(args),
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(self._end, p)
        ready = json.loads(p.stdout.readline())
        self.assertEqual(ready["event"], "ready")
        return p, ready

    @staticmethod
    def _end(p):
        if p.poll() is None:
            p.kill()
        p.wait(5)
        for s in (p.stdin, p.stdout, p.stderr):
            s.close()

    def test_ready_line_then_clean_stop_on_sigterm(self):
        p, ready = self.start("--stamp", "202401011230001", "--account", "lee:pw")
        base = "http://127.0.0.1:%d" % ready["web_port"]
        with urllib.request.urlopen(base + "/Brimvale/NowDateTime.html", timeout=5) as r:
            self.assertEqual(r.read(), b"202401011230001")
        with urllib.request.urlopen(base + "/app_login.php?userid=lee&pass=pw", timeout=5) as r:
            self.assertEqual(r.read(), b"OK")
        socket.create_connection(("127.0.0.1", ready["ftp_port"]), timeout=5).close()
        self.assertTrue(os.path.isdir(os.path.join(ready["ftp_root"], "images", "orders")))
        p.send_signal(signal.SIGTERM)
        self.assertEqual(p.wait(5), 0)
        self.assertFalse(os.path.exists(ready["data_dir"]))     # --temp-data cleans up

    def test_switches_from_the_command_line(self):
        p, ready = self.start("--faults", json.dumps({"list_style": "windows",
                                                      "set_cookie": "KBSESS=s1; path=/"}))
        base = "http://127.0.0.1:%d" % ready["web_port"]
        with urllib.request.urlopen(base + "/Brimvale/NowDateTime.html", timeout=5) as r:
            self.assertEqual(r.headers["Set-Cookie"], "KBSESS=s1; path=/")
        request = urllib.request.Request(base + "/__control/faults", data=b"{}")
        with urllib.request.urlopen(request, timeout=5) as r:
            self.assertEqual(json.loads(r.read())["faults"]["list_style"], "windows")

    def test_no_ftp_and_stop_when_parent_goes(self):
        p, ready = self.start("--no-ftp", "--exit-on-stdin-eof")
        self.assertFalse(ready["ftp_listening"])
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", ready["ftp_port"]), timeout=2)
        p.stdin.close()
        self.assertEqual(p.wait(5), 0)


if __name__ == "__main__":
    unittest.main()
