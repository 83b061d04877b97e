"""Starts the practice site as a real process on a free port and talks HTTP to it."""

import http.client
import json
import os
import subprocess
import urllib.parse

SITE = os.environ.get("TARNWICK_PRACTICE_SITE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "practice_site",
    "practice_site.py")
PYTHON = os.environ.get("TARNWICK_PYTHON3") or "python3"
ITEM_QUERY = "/ws/eBayISAPI.dll?ViewItem&item="
BIDS_QUERY = "/ws/eBayISAPI.dll?ViewBids&item="
TIME_QUERY = "/aw-cgi/eBayISAPI.dll?TimeShow"


class SiteProcess:
    def __init__(self, *arguments):
        self.process = subprocess.Popen(
            [PYTHON, "-B", SITE, "0", "--watch-stdin", *arguments], stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = self.process.stdout.readline().decode()
        if not first.startswith("listening on "):
            error = self.process.stderr.read()
            self.stop()
            raise RuntimeError("site did not start: %r %r" % (first, error))
        self.port = int(first.split()[2])

    def stop(self):
        self.process.stdin.close()
        if self.process.poll() is None:
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        for stream in (self.process.stdout, self.process.stderr):
            stream.close()

    def get(self, target, timeout=10):
        """(status, headers, body bytes) of one GET over HTTP/1.1."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            connection.request("GET", target)
            reply = connection.getresponse()
            return reply.status, dict(reply.getheaders()), reply.read()
        finally:
            connection.close()

    def page(self, target):
        status, _, body = self.get(target)
        if status != 200:
            raise AssertionError("%s gave HTTP %d" % (target, status))
        return body.decode("latin-1")

    def control(self, **params):
        status, _, body = self.get("/_control?" + urllib.parse.urlencode(params))
        return status, json.loads(body)

    def json(self, target):
        return json.loads(self.get(target)[2])
