"""Small hostile peers on 127.0.0.1 for the hostile suite.

A Peer listens on a free port of 127.0.0.1 and serves every connection on a thread of its
own with one behaviour: a function behaviour(conn, index) that talks to the connected socket
(index counts the connections from 0). A behaviour may misbehave as it likes; when the client
goes away (reset, broken pipe) it simply ends. The helpers below are the bricks the cases of
test_hostile.py are built from.
"""

import socket
import threading
import time


class Peer:
    """Serves behaviour on every connection until stopped."""

    def __init__(self, behaviour):
        self._behaviour = behaviour
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind(("127.0.0.1", 0))
        self._listener.listen(16)
        self._listener.settimeout(0.1)
        self.port = self._listener.getsockname()[1]
        self.connections = 0
        self._stopping = threading.Event()
        self._conns = []
        self._thread = threading.Thread(target=self._accept, daemon=True)
        self._thread.start()

    def _accept(self):
        while not self._stopping.is_set():
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            index = self.connections
            self.connections += 1
            self._conns.append(conn)
            threading.Thread(target=self._serve, args=(conn, index), daemon=True).start()

    def _serve(self, conn, index):
        try:
            self._behaviour(conn, index)
        except OSError:
            pass  # the client went away: reset, broken pipe or a closed socket
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def stop(self):
        self._stopping.set()
        self._thread.join()
        self._listener.close()
        for conn in self._conns:
            try:
                conn.close()
            except OSError:
                pass


# --- Bricks ---

def read_head(conn, limit=65536):
    """Reads one request head (through its empty line); b"" when the client closed."""
    data = b""
    while b"\r\n\r\n" not in data and len(data) < limit:
        chunk = conn.recv(4096)
        if not chunk:
            return b""
        data += chunk
    return data


def read_exactly(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            break
        data += chunk
    return data


def hold(conn, seconds=30):
    """Keeps the connection open, sending nothing, until the client closes it."""
    conn.settimeout(seconds)
    try:
        while conn.recv(4096):
            pass
    except socket.timeout:
        pass


def close_gently(conn):
    """Ends the sending side and waits briefly for the client's close, so nothing is reset."""
    conn.shutdown(socket.SHUT_WR)
    conn.settimeout(2)
    try:
        while conn.recv(4096):
            pass
    except socket.timeout:
        pass


def send_forever(conn, chunk):
    """Sends chunk again and again until the client goes away."""
    while True:
        conn.sendall(chunk)


def drip(conn, data, interval=1.0):
    """Sends data one byte each interval."""
    for i in range(len(data)):
        conn.sendall(data[i:i + 1])
        time.sleep(interval)
