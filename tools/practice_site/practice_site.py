#!/usr/bin/python3
"""The practice auction site: item pages, bid-history pages and the official-time page on
127.0.0.1, for the tests and the demo run. README.md beside this file describes it.

Usage: practice_site.py [PORT] [--catalogue FILE] [--offset SECONDS] [--member ID]
                        [--no-defaults] [--watch-stdin] [--verbose]
The first line on standard output is "listening on PORT".
"""

import argparse
import http.server
import json
import select
import socket
import sys
import threading
import time
import urllib.parse

from catalogue import (CatalogueError, DEFAULT_MEMBER, ITEM_FIELDS, default_catalogue,
                       load_catalogue_file)
from pages import PageMaker, drop_closing_tag, encode_page, pad_past_bound
from site_state import SiteState, page_key

ITEM_PATH = "/ws/ebayisapi.dll"
TIME_PATH = "/aw-cgi/ebayisapi.dll"
PAGE_ROUTES = {(ITEM_PATH, "viewitem"), (ITEM_PATH, "viewbids"), (TIME_PATH, "timeshow")}
# Longest a stalled request is held without a reply (the client normally goes first).
STALL_LIMIT = 120.0


def split_site_query(query):
    """The raw query as the programs send it: a command, then "&name=value" parts."""
    command, *parts = query.split("&")
    params = {}
    for part in parts:
        name, _, value = part.partition("=")
        params[name.lower()] = urllib.parse.unquote(value)
    return command.lower(), params


class SiteHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "PracticeAuctionSite/1.0"
    # A reply goes out at once, not held back until the client acknowledges the previous
    # segment (which a client delays by up to 40 ms on a keep-alive connection).
    disable_nagle_algorithm = True

    # Plumbing ----------------------------------------------------------------------------

    @property
    def state(self):
        return self.server.state

    def log_message(self, format, *args):  # noqa: A002 (the base class's signature)
        if self.server.verbose:
            super().log_message(format, *args)

    def send_body(self, status, body, content_type="text/html"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        if self.command == "HEAD":
            self.end_headers()
            return
        # The header lines and the body leave in one write.
        self._headers_buffer.extend((b"\r\n", body))
        self.flush_headers()

    def send_json(self, status, value):
        self.send_body(status, json.dumps(value, indent=1).encode("utf-8"), "application/json")

    def target(self):
        """Path and query of the request, also when the client sent an absolute URL."""
        target = self.path
        if "://" in target.split("?", 1)[0]:
            target = "/" + target.split("://", 1)[1].partition("/")[2]
        return target

    def do_GET(self):
        self.route(b"")

    def do_HEAD(self):
        self.route(b"")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.route(self.rfile.read(length) if length > 0 else b"")

    def route(self, body):
        target = self.target()
        path, _, query = target.partition("?")
        if path == "/_control":
            self.control(query, body)
        elif path == "/_stats":
            self.send_json(200, self.state.stats_json())
        elif path == "/_catalogue":
            self.send_json(200, {"site_time": str(self.state.site_now()),
                                 "offset_seconds": self.state.offset_seconds,
                                 "items": self.state.catalogue_json()})
        else:
            self.site_page(target, path, query)

    # The auction site --------------------------------------------------------------------

    def site_page(self, target, path, query):
        self.state.count(target)
        relocated = self.state.relocated_target(path)
        if relocated is not None:
            path, _, query = relocated.partition("?")
        command, params = split_site_query(query)
        if (path.lower(), command) not in PAGE_ROUTES:
            self.send_body(404, encode_page(self.server.pages.not_found_page()))
            return
        number = params.get("item", "").replace(" ", "")
        key = page_key(command, number)
        delay = self.state.delay_for(key)
        if delay:
            time.sleep(delay / 1000.0)
        fault = self.state.take_fault(key)
        if fault == "drop":
            self.close_connection = True
            return
        if fault == "stall":
            self.hold_without_reply()
            return
        if fault in ("relocate", "redirect"):
            self.send_response(302)
            location = (self.state.relocation(key, target) if fault == "relocate"
                        else self.state.redirection(key))
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if fault == "status500":
            self.send_body(500, encode_page(self.server.pages.server_error_page()))
            return
        try:
            body = encode_page(self.render(command, number, fault))
        except Exception as error:  # a bad item must cost one reply, not the server
            print("practice_site: %s: %r" % (target, error), file=sys.stderr)
            self.send_body(500, encode_page(self.server.pages.server_error_page()))
            return
        if fault == "truncate":
            body = drop_closing_tag(body)
        elif fault == "oversize":
            body = pad_past_bound(body)
        trickle = self.state.trickle_for(key)
        if trickle:
            self.send_trickled(body, trickle)
            return
        self.send_body(200, body)

    def send_trickled(self, body, milliseconds):
        """Sends the header lines at once, then the body in pieces, one a second, the last
        milliseconds after the header: a page that keeps coming, slowly."""
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command == "HEAD":
            return
        pieces = max(1, round(milliseconds / 1000.0))
        for piece in range(pieces):
            time.sleep(milliseconds / 1000.0 / pieces)
            self.wfile.write(body[piece * len(body) // pieces:(piece + 1) * len(body) // pieces])

    def hold_without_reply(self):
        """Keeps the connection open and silent until the client goes (or STALL_LIMIT)."""
        self.close_connection = True
        deadline = time.monotonic() + STALL_LIMIT
        while time.monotonic() < deadline:
            readable, _, _ = select.select([self.connection], [], [], 0.2)
            try:
                if readable and not self.connection.recv(1, socket.MSG_PEEK):
                    return
            except OSError:
                return

    def render(self, command, number, fault=None):
        pages = self.server.pages
        if command == "timeshow":
            return pages.time_page(self.state.site_now(), readable=fault != "badtime")
        item = self.state.find_item(number)
        if item is None:
            return pages.invalid_item_page()
        if command == "viewbids":
            return pages.bid_history_page(item)
        return pages.item_page(item, self.state.site_now())

    # Control for tests -------------------------------------------------------------------

    def control_params(self, query, body):
        params = {k: v[-1] for k, v in urllib.parse.parse_qs(query, True).items()}
        text = body.decode("utf-8", errors="replace").strip()
        if text.startswith("{"):
            params.update(json.loads(text))
        elif text:
            params.update({k: v[-1] for k, v in urllib.parse.parse_qs(text, True).items()})
        return params

    def control(self, query, body):
        try:
            reply = apply_control(self.state, self.control_params(query, body))
        except (CatalogueError, ValueError) as error:
            self.send_json(400, {"ok": False, "error": str(error)})
            return
        self.send_json(200, reply)


def apply_control(state, params):
    """Carry out one control request; see README.md for the parameters."""
    done = False
    reply = {"ok": True}
    if "reset" in params:
        state.reset(params["reset"])
        done = True
    if "offset" in params:
        state.set_offset(float(params["offset"]))
        done = True
    number = str(params.get("item", "")).replace(" ", "")
    if number and "remove" in params:
        state.remove_item(number)
        done = True
    elif number and any(field in params for field in ITEM_FIELDS):
        reply["item"] = state.upsert_item(number, params).to_json()
        done = True
    key = params.get("page") or ("item:" + number if number else "")
    if "fault" in params:
        if not key:
            raise CatalogueError("a fault needs page=item:N, bids:N, time or *")
        count = int(params["count"]) if params.get("count") not in (None, "") else None
        state.set_fault(key, str(params["fault"]).lower(), count, params.get("location"))
        done = True
    if "delay" in params:
        if not key:
            raise CatalogueError("a delay needs page=item:N, bids:N, time or *")
        state.set_delay(key, int(params["delay"]))
        done = True
    if "trickle" in params:
        if not key:
            raise CatalogueError("a trickle needs page=item:N, bids:N, time or *")
        state.set_trickle(key, int(params["trickle"]))
        done = True
    if not done:
        raise CatalogueError(
            "nothing to do: give reset, offset, item fields, fault, delay or trickle")
    reply["site_time"] = str(state.site_now())
    reply["offset_seconds"] = state.offset_seconds
    return reply


class PracticeSite(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, state, verbose=False):
        super().__init__(("127.0.0.1", port), SiteHandler)
        self.state = state
        self.pages = PageMaker()
        self.verbose = verbose

    def handle_error(self, request, client_address):
        # A client that hangs up before its reply is whole (the programs stop a load that they
        # ask for again) is no fault of the site.
        if isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            return
        super().handle_error(request, client_address)


def build_state(args):
    data = load_catalogue_file(args.catalogue) if args.catalogue else {}
    member = args.member or data.get("member") or DEFAULT_MEMBER
    offset = args.offset if args.offset is not None else float(data.get("offset_seconds", 0))
    entries = []
    if not args.no_defaults and data.get("include_defaults", True):
        entries.extend(default_catalogue(member))
    entries.extend(data.get("items", []))
    return SiteState(entries, offset)


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Practice auction site on 127.0.0.1.")
    parser.add_argument("port", nargs="?", type=int, default=0,
                        help="TCP port; 0 (the default) picks a free one")
    parser.add_argument("--catalogue", help="JSON catalogue of further items")
    parser.add_argument("--offset", type=float,
                        help="seconds by which the local clock runs ahead of the site's clock")
    parser.add_argument("--member", help="member id that wins the built-in won auctions")
    parser.add_argument("--no-defaults", action="store_true",
                        help="leave out the built-in catalogue")
    parser.add_argument("--watch-stdin", action="store_true",
                        help="stop when standard input reaches its end")
    parser.add_argument("--verbose", action="store_true", help="log every request on stderr")
    return parser.parse_args(argv)


def watch_stdin(server):
    while sys.stdin.buffer.read(4096):
        pass
    server.shutdown()


def main(argv=None):
    args = parse_args(argv)
    try:
        state = build_state(args)
    except (OSError, CatalogueError, ValueError) as error:
        print("practice_site: %s" % error, file=sys.stderr)
        return 2
    try:
        server = PracticeSite(args.port, state, args.verbose)
    except (OSError, OverflowError) as error:
        print("practice_site: cannot listen on port %d: %s" % (args.port, error),
              file=sys.stderr)
        return 1
    print("listening on %d" % server.server_address[1], flush=True)
    if args.watch_stdin:
        threading.Thread(target=watch_stdin, args=(server,), daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
