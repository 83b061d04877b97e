"""The hostile suite: real network components against small peers that misbehave.

Each case names a peer behaviour (peers.py), the driver's arguments and what the driver must
print. The harness starts the peer on 127.0.0.1, runs the driver (hostile_driver, path in
$HOSTILE_DRIVER) as a child process, and asserts three things: the outcome (every expected
key printed with its value), the elapsed time (the child must end within the case's
seconds; it is killed a little after) and the peak memory (the high-water mark of the child's
own resident memory, VmHWM, within the case's megabytes). The driver prints that mark as its
last line; while it runs the harness also reads it from /proc, so that a child that is killed
still shows its size. ru_maxrss from wait4 would not do: it counts the resident memory the
child had as a fork of this Python process, before its exec.

To add cases: append Case rows to a group's table below (or add a table and a TestCase class
for a new group, as the ones at the end); "{port}" in the driver arguments becomes the
peer's port.
"""

import base64
import dataclasses
import os
import re
import struct
import subprocess
import sys
import threading
import time
import typing
import unittest

from peers import (Peer, close_gently, drip, hold, read_exactly, read_head, send_forever)


@dataclasses.dataclass
class Case:
    name: str
    peer: typing.Callable  # behaviour(conn, index) for every connection
    driver: list           # driver arguments; "{port}" is the peer's port
    expect: dict           # printed key -> value, or a regular expression written "~..."
    seconds: float = 10.0  # the child must end within this
    memory_mb: int = 64    # the child's own peak resident memory


@dataclasses.dataclass
class Outcome:
    printed: dict
    returncode: int
    seconds: float
    memory_mb: float
    killed: bool
    output: str


def peak_kb(pid):
    """The high-water mark of the process's own resident memory in kB; 0 when gone."""
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def run_case(case):
    """Runs the case's driver against its peer and measures the child."""
    driver = os.environ["HOSTILE_DRIVER"]
    peer = Peer(case.peer)
    try:
        args = [driver] + [a.replace("{port}", str(peer.port)) for a in case.driver]
        start = time.monotonic()
        proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        chunks = []
        reader = threading.Thread(target=lambda: chunks.append(proc.stdout.read()))
        reader.start()
        deadline = start + case.seconds + 5
        killed = False
        seen_kb = 0
        while True:
            seen_kb = max(seen_kb, peak_kb(proc.pid))
            pid, status = os.waitpid(proc.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                proc.kill()
                killed = True
                pid, status = os.waitpid(proc.pid, 0)
                break
            time.sleep(0.01)
        elapsed = time.monotonic() - start
        proc.returncode = os.waitstatus_to_exitcode(status)  # reaped here, not by Popen
        reader.join()
        proc.stdout.close()
        output = b"".join(chunks).decode("latin-1")
    finally:
        peer.stop()
    printed = {}
    for line in output.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            printed[key] = value
    own_kb = int(printed["peak_kb"]) if printed.get("peak_kb", "").isdigit() else seen_kb
    return Outcome(printed, proc.returncode, elapsed, max(own_kb, seen_kb) / 1024.0, killed,
                   output)


class HostileCase(unittest.TestCase):
    """Base of the group classes: one test method per case of the group's table."""

    def check(self, case):
        outcome = run_case(case)
        sys.stderr.write("  %-28s %6.2f s %6.1f MB\n"
                         % (case.name, outcome.seconds, outcome.memory_mb))
        detail = "\n--- driver output ---\n" + outcome.output
        self.assertFalse(outcome.killed, "did not end in time" + detail)
        self.assertEqual(outcome.returncode, 0, detail)
        for key, want in case.expect.items():
            got = outcome.printed.get(key)
            if want.startswith("~"):
                self.assertIsNotNone(got, key + detail)
                self.assertRegex(got, want[1:], key + detail)
            else:
                self.assertEqual(got, want, key + detail)
        self.assertLessEqual(outcome.seconds, case.seconds, "too slow" + detail)
        self.assertLessEqual(outcome.memory_mb, case.memory_mb, "too much memory" + detail)


def cases_of(table):
    """Class decorator: a test method per case of the table."""
    def decorate(cls):
        for case in table:
            name = "test_" + re.sub(r"\W", "_", case.name)
            setattr(cls, name, lambda self, case=case: self.check(case))
        return cls
    return decorate


# --- HTTP client ---

def http_url(path="/"):
    return "http://127.0.0.1:{port}" + path


def answer(reply, then=close_gently):
    """Reads the request head, sends reply, then ends as then says."""
    def behaviour(conn, index):
        if read_head(conn):
            conn.sendall(reply)
            then(conn)
    return behaviour


def endless_header(conn, index):
    if read_head(conn):
        conn.sendall(b"HTTP/1.1 200 OK\r\n")
        send_forever(conn, b"X-Endless: " + b"e" * 50 + b"\r\n")


def huge_header_line(conn, index):
    if read_head(conn):
        conn.sendall(b"HTTP/1.1 200 OK\r\nX-Huge: ")
        block = b"h" * (1 << 20)
        for _ in range(100):  # a line of 100 MB
            conn.sendall(block)
        conn.sendall(b"\r\n\r\n")
        close_gently(conn)


def huge_chunk_size(conn, index):
    if read_head(conn):
        conn.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     b"ffffffffffffffff\r\n")
        send_forever(conn, b"c" * 65536)


def length_and_chunks_then_line_feeds(conn, index):
    if read_head(conn):
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n"
                     b"5\r\nhel")
        for _ in range(64):  # 256 KB of line feeds: more than the receive buffer holds
            conn.sendall(b"\n" * 4096)
        hold(conn)


def endless_trailer(conn, index):
    if read_head(conn):
        conn.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n")
        send_forever(conn, b"X-Endless: " + b"e" * 50 + b"\r\n")


def relocation_loop(conn, index):
    while read_head(conn):
        conn.sendall(b"HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n")


def drip_reply(conn, index):
    if read_head(conn):
        drip(conn, b"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + b"d" * 100)


def le16(v):
    return struct.pack("<H", v)


def le32(v):
    return struct.pack("<I", v)


def challenge_past_its_end():
    """An NTLM challenge whose target name and target information lie past its end."""
    m = b"NTLMSSP\0" + le32(2) + le16(500) + le16(500) + le32(4000) + le32(0x00000201)
    m += b"\x01\x23\x45\x67\x89\xab\xcd\xef" + b"\0" * 8
    m += le16(600) + le16(600) + le32(60000)
    return base64.b64encode(m)


def ntlm_with_bad_offsets(conn, index):
    deny = b"HTTP/1.0 401 Unauthorized\r\nConnection: keep-alive\r\nContent-Length: 0\r\n"
    replies = [deny + b"WWW-Authenticate: NTLM\r\n\r\n",
               deny + b"WWW-Authenticate: NTLM " + challenge_past_its_end() + b"\r\n\r\n",
               deny + b"WWW-Authenticate: NTLM\r\n\r\n"]
    for reply in replies:
        if not read_head(conn):
            return
        conn.sendall(reply)
    hold(conn)


ABORTED = {"status": "404", "reason": "Connection aborted on request", "exception": "404",
           "dones": "1", "aborted": "yes"}

def failed(reason, body="~.*"):
    return {"status": "404", "reason": reason, "exception": "404", "dones": "1", "body": body,
            "aborted": "no"}


HTTP_CASES = [
    Case("endless_header", endless_header, ["http", "--url", http_url()],
         failed("Reply header too large")),
    Case("100_MB_header_line", huge_header_line, ["http", "--url", http_url()],
         failed("Reply header too large")),
    Case("chunk_size_ffffffffffffffff", huge_chunk_size,
         ["http", "--url", http_url(), "--version", "1.1"], failed("Bad chunk size", "0")),
    Case("length_3_and_chunks_then_line_feeds", length_and_chunks_then_line_feeds,
         ["http", "--url", http_url(), "--version", "1.1"], failed("Bad chunk size", "5")),
    Case("endless_trailer", endless_trailer,
         ["http", "--url", http_url(), "--version", "1.1"], failed("Reply header too large", "5")),
    Case("short_body_then_close",
         answer(b"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + b"s" * 5000),
         ["http", "--url", http_url()],
         failed("Connection closed before the end of the document", "5000")),
    Case("relocation_loop", relocation_loop,
         ["http", "--url", http_url("/loop"), "--version", "1.1"], failed("Too many relocations")),
    Case("relocation_loop_new_connections", relocation_loop,
         ["http", "--url", http_url("/loop")], failed("Too many relocations")),
    Case("one_byte_a_second", drip_reply, ["http", "--url", http_url(), "--abort-after", "3000"],
         ABORTED, seconds=8),
    Case("300_without_location",
         answer(b"HTTP/1.0 300 Multiple Choices\r\nContent-Length: 5\r\n\r\nhello"),
         ["http", "--url", http_url()],
         {"status": "300", "exception": "none", "dones": "1", "body": "5", "aborted": "no"}),
    Case("ntlm_challenge_past_its_end", ntlm_with_bad_offsets,
         ["http", "--url", http_url(), "--user", "joe", "--password", "pw"],
         {"status": "401", "exception": "none", "dones": "1", "aborted": "no"}),
]


# --- SOCKS 5 through the HTTP client ---

def socks_url():
    # The destination is never reached: the proxy decides everything.
    return ["http", "--url", "http://127.0.0.1:9/", "--socks-server", "127.0.0.1",
            "--socks-port", "{port}", "--socks-level", "5"]


def socks_garbage(conn, index):
    read_exactly(conn, 3)
    send_forever(conn, b"\xde\xad\xbe\xef" * 1024)


def socks_truncated(then):
    def behaviour(conn, index):
        read_exactly(conn, 3)       # greeting
        conn.sendall(b"\x05\x00")   # no authentication
        read_head_len = 7 + len("127.0.0.1")
        read_exactly(conn, read_head_len)
        conn.sendall(b"\x05\x00\x00")  # a CONNECT reply cut after three bytes
        then(conn)
    return behaviour


SOCKS_CASES = [
    Case("socks5_garbage", socks_garbage, socks_url(),
         {"status": "404", "socks_error": "20002", "exception": "404", "dones": "1",
          "aborted": "no"}),
    Case("socks5_truncated_reply_and_close", socks_truncated(close_gently), socks_url(),
         {"status": "404", "socks_error": "20014", "exception": "404", "dones": "1",
          "aborted": "no"}),
    Case("socks5_truncated_reply_and_hold", socks_truncated(hold),
         socks_url() + ["--abort-after", "3000"], ABORTED, seconds=8),
]


# --- SMTP client, through its blocking calls ---

def read_line(conn, limit=65536):
    """Reads one command line (through its CR LF); b"" when the client closed."""
    data = b""
    while not data.endswith(b"\r\n") and len(data) < limit:
        chunk = conn.recv(1)
        if not chunk:
            return b""
        data += chunk
    return data


def smtp_session(then_helo=None, then_data=None, banner=b"220 hostile.test ready\r\n"):
    """Greets with banner; answers HELO as then_helo says (else 250), MAIL and RCPT with 250,
    DATA with 354 and then as then_data says."""
    def behaviour(conn, index):
        conn.sendall(banner)
        while True:
            line = read_line(conn)
            if not line:
                return
            if line.startswith(b"HELO") and then_helo:
                return then_helo(conn)
            if line.startswith(b"DATA"):
                conn.sendall(b"354 go ahead\r\n")
                return then_data(conn)
            conn.sendall(b"250 ok\r\n")
    return behaviour


def silent(conn, index):
    hold(conn)


def endless_multiline(conn):
    send_forever(conn, b"250-and there is more to say\r\n" * 64)


def ten_megabyte_line(conn):
    conn.sendall(b"250-" + b"x" * (10 * 1024 * 1024))
    hold(conn)


def close_after_some_data(conn):
    read_exactly(conn, 4000)
    conn.close()


def smtp(step="open", timeout=3):
    return ["smtp", "--port", "{port}", "--step", step, "--timeout", str(timeout)]


TIMED_OUT = {"result": "false", "error": "426 Timeout", "status": "426", "connected": "no",
             "ready": "yes"}

SMTP_CASES = [
    Case("smtp_never_answers", silent, smtp(), TIMED_OUT, seconds=6),
    Case("smtp_endless_multiline_reply", smtp_session(then_helo=endless_multiline), smtp(),
         {"result": "false", "error": "500 Reply too long", "connected": "no", "ready": "yes",
          "dones": "1"}, seconds=4),
    Case("smtp_10mb_reply_line", smtp_session(then_helo=ten_megabyte_line), smtp(),
         {"result": "false", "error": "500 Reply line too long", "connected": "no",
          "ready": "yes", "dones": "1"}, seconds=4),
    Case("smtp_bare_lf_replies", smtp_session(banner=b"220 hostile.test ready\n"), smtp(),
         TIMED_OUT, seconds=6),
    Case("smtp_close_inside_data", smtp_session(then_data=close_after_some_data),
         smtp("mail", timeout=15),
         {"result": "false", "error": "~^500 ", "connected": "no", "ready": "yes",
          "dones": "2"}, seconds=5),
]


@cases_of(HTTP_CASES)
class HostileHttp(HostileCase):
    pass


@cases_of(SOCKS_CASES)
class HostileSocks(HostileCase):
    pass


@cases_of(SMTP_CASES)
class HostileSmtp(HostileCase):
    pass


class HostileMeasure(HostileCase):
    """The memory bound is the driver's own: the harness's size does not count against it."""

    def test_big_harness_small_driver(self):
        ballast = bytearray(128 * 1024 * 1024)
        for i in range(0, len(ballast), 4096):
            ballast[i] = 1  # every page resident in this process when the driver forks
        try:
            self.check(Case("small_reply_under_a_big_harness",
                            answer(b"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"),
                            ["http", "--url", http_url()], {"status": "200", "body": "5"},
                            memory_mb=64))
        finally:
            del ballast


if __name__ == "__main__":
    unittest.main()
