"""The practice site, started as a real process, read the way the two programs read it."""

import datetime
import http.client
import json
import os
import socket
import tempfile
import time
import unittest

import page_reading as read
from site_process import BIDS_QUERY, ITEM_QUERY, TIME_QUERY, SiteProcess

MEMBER = "tarnbuyer"

# item, currency code, current bid, bids, quantity, portal's reading, agent's state word
LIVE_AND_ENDED = [
    ("220000000101", "USD", "12.50", "7", "1", "biddable", "ACTIVE"),
    ("220000000102", "USD", "12.50", "7", "1", "biddable", "ACTIVE"),
    ("220000000103", "USD", "12.50", "7", "1", "biddable", "ACTIVE"),
    ("220000000104", "USD", "1234.56", "31", "1", "biddable", "ACTIVE"),
    ("220000000111", "AUS", "15.25", "7", "1", "biddable", "ACTIVE"),
    ("220000000112", "AUS", "15.25", "7", "1", "biddable", "ACTIVE"),
    ("220000000113", "AUS", "15.25", "7", "1", "biddable", "ACTIVE"),
    ("220000000121", "CAN", "14.75", "7", "1", "biddable", "ACTIVE"),
    ("220000000122", "CAN", "14.75", "7", "1", "biddable", "ACTIVE"),
    ("220000000123", "CAN", "14.75", "7", "1", "biddable", "ACTIVE"),
    ("220000000131", "EUR", "11.40", "7", "1", "biddable", "ACTIVE"),
    ("220000000132", "EUR", "11.40", "7", "1", "biddable", "ACTIVE"),
    ("220000000133", "EUR", "11.40", "7", "1", "biddable", "ACTIVE"),
    ("220000000141", "GBP", "9.80", "7", "1", "biddable", "ACTIVE"),
    ("220000000142", "GBP", "9.80", "7", "1", "biddable", "ACTIVE"),
    ("220000000143", "GBP", "9.80", "7", "1", "biddable", "ACTIVE"),
    ("220000000151", "CHF", "18.60", "7", "1", "biddable", "ACTIVE"),
    ("220000000152", "CHF", "18.60", "7", "1", "biddable", "ACTIVE"),
    ("220000000153", "CHF", "18.60", "7", "1", "biddable", "ACTIVE"),
    ("220000000201", "USD", "4.00", "LOT", "5", "biddable", "ACTIVE"),
    ("220000000401", "***", "20.00", "9", "1", "WON", "WON"),
    ("220000000402", "***", "20.00", "9", "1", "LOST", "LOST"),
    ("220000000501", "***", "5.50", "LOT", "5", "ENDED - LOT", "ENDED - LOT"),
]

# ended multi-quantity item, state word its bid history gives (None: the state stays)
LOT_RESULTS = [
    ("220000000501", "WON -2-"),
    ("220000000502", "LOST"),
    ("220000000503", "..."),
    ("220000000504", None),
    ("220000000505", "LOST"),
]

LIVE_ENDS_IN = {"1": 2 * 86400, "2": 90 * 60, "3": 30 * 60}


class SiteTestCase(unittest.TestCase):
    site_arguments = ()

    @classmethod
    def setUpClass(cls):
        cls.workdir = tempfile.TemporaryDirectory()
        os.environ["TARNWICK_WINDIR"] = cls.workdir.name
        cls.site = SiteProcess(*cls.site_arguments)

    @classmethod
    def tearDownClass(cls):
        cls.site.stop()
        cls.workdir.cleanup()

    def item_page(self, number):
        return self.site.page(ITEM_QUERY + number)

    def catalogue_end(self, number):
        items = self.site.json("/_catalogue")["items"]
        return next(item["end"] for item in items if item["item"] == number)


class BuiltInCataloguePages(SiteTestCase):
    def test_item_pages_give_each_fact_the_programs_read(self):
        for number, code, bid, bids, quantity, portal, agent in LIVE_AND_ENDED:
            with self.subTest(item=number):
                page = self.item_page(number)
                self.assertEqual(read.currency_code(page), code)
                self.assertEqual(read.current_bid(page), bid)
                self.assertEqual(read.bid_count(page, number), bids)
                self.assertEqual(read.item_quantity(page), quantity)
                self.assertEqual(read.portal_reading(page, MEMBER), portal)
                self.assertEqual(read.agent_state(page, number, MEMBER), agent)
                title = read.item_title(page)
                self.assertTrue(title.startswith("Practice "), title)
                self.assertLessEqual(len(title), 95)
                self.assertEqual(read.end_time_text(page, number), self.catalogue_end(number))

    def test_live_auctions_end_two_days_ninety_and_thirty_minutes_ahead(self):
        now = datetime.datetime.now()
        for number, *_ in LIVE_AND_ENDED[:19]:
            if number == "220000000104":
                continue
            with self.subTest(item=number):
                end = read.parse_end_time(read.end_time_text(self.item_page(number), number))
                ahead = (end - now).total_seconds()
                self.assertAlmostEqual(ahead, LIVE_ENDS_IN[number[-1]], delta=120)

    def test_fixed_price_listing_is_refused_and_not_read_as_an_auction(self):
        page = self.item_page("220000000301")
        self.assertEqual(read.portal_reading(page, MEMBER), "fixed price")
        self.assertIsNone(read.agent_state(page, "220000000301", MEMBER))

    def test_unknown_item_gives_the_invalid_item_page_only(self):
        for number in ("220000000999", "", "abc"):
            with self.subTest(item=number):
                page = self.item_page(number)
                self.assertEqual(read.portal_reading(page, MEMBER), "invalid")
                self.assertIsNone(read.agent_state(page, number or "220000000999", MEMBER))
                self.assertNotIn("Ready to", page)

    def test_bid_histories_give_the_units_won(self):
        for number, word in LOT_RESULTS:
            with self.subTest(item=number):
                page = self.site.page(BIDS_QUERY + number)
                self.assertTrue(read.agent_knows_bid_history(page, number))
                self.assertEqual(read.lot_result(page, MEMBER), word)
                self.assertEqual(read.agent_state(self.item_page(number), number, MEMBER),
                                 "ENDED - LOT")

    def test_no_page_reads_as_the_blank_page_or_uses_entities_for_spaces(self):
        targets = [ITEM_QUERY + row[0] for row in LIVE_AND_ENDED]
        targets += [ITEM_QUERY + "220000000301", ITEM_QUERY + "9", BIDS_QUERY + "220000000501",
                    TIME_QUERY]
        for target in targets:
            with self.subTest(target=target):
                status, headers, body = self.site.get(target)
                self.assertEqual(status, 200)
                self.assertEqual(headers["Content-Type"], "text/html")
                self.assertNotIn(b"blank", body)
                self.assertNotIn(b"&nbsp;", body)
                self.assertTrue(body.endswith(b"</html>\r\n"))

    def test_non_dollar_markers_carry_a_literal_no_break_space(self):
        page = self.item_page("220000000141")
        self.assertIn('"top">GBP\xa09.80 <', page)
        self.assertIn("(Enter GBP 10.30\xa0<b>or more</b>)", page)

    def test_official_time_page_shows_local_time_for_both_queries(self):
        for target in (TIME_QUERY, TIME_QUERY + "&ssPageName=f:f:US"):
            with self.subTest(target=target):
                before = datetime.datetime.now().replace(microsecond=0)
                page = self.site.page(target)
                after = datetime.datetime.now()
                shown = read.official_time(page)
                self.assertIsNotNone(shown)
                self.assertTrue(before <= shown <= after, (before, shown, after))
                self.assertTrue(read.browser_sync_accepts(page))

    def test_http_1_0_request_without_host_is_answered_and_closed(self):
        with socket.create_connection(("127.0.0.1", self.site.port), timeout=10) as sock:
            sock.sendall(b"GET " + ITEM_QUERY.encode() + b"220000000101 HTTP/1.0\r\n\r\n")
            reply = b""
            while chunk := sock.recv(65536):
                reply += chunk
        head, _, body = reply.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 200"), head)
        self.assertIn(b"\r\nContent-Type: text/html\r\n", head + b"\r\n")
        self.assertIn(b"\r\nContent-Length: %d\r\n" % len(body), head + b"\r\n")
        self.assertIn(b"Ready to bid", body)

    def test_wrong_path_is_not_found(self):
        status, _, body = self.site.get("/aw-cgi/eBayISAPI.dll?ViewItem&item=220000000101")
        self.assertEqual(status, 404)
        self.assertNotIn(b"Ready to bid", body)


class SiteClockOffset(SiteTestCase):
    site_arguments = ("--offset", "3600")

    def setUp(self):
        self.assertEqual(self.site.control(reset="all")[0], 200)

    def test_official_time_runs_the_offset_behind_local_time(self):
        shown = read.official_time(self.site.page(TIME_QUERY))
        behind = (datetime.datetime.now() - shown).total_seconds()
        self.assertAlmostEqual(behind, 3600, delta=3)

    def test_control_moves_the_clock_and_new_end_times_follow_it(self):
        self.assertEqual(self.site.control(offset="-120")[0], 200)
        self.site.control(item="220000000101", ends_in="600")
        page = self.item_page("220000000101")
        end = read.parse_end_time(read.end_time_text(page, "220000000101"))
        shown = read.official_time(self.site.page(TIME_QUERY))
        self.assertAlmostEqual((end - shown).total_seconds(), 600, delta=3)
        self.assertAlmostEqual((shown - datetime.datetime.now()).total_seconds(), 120, delta=3)


class ControlAndCounter(SiteTestCase):
    def setUp(self):
        self.assertEqual(self.site.control(reset="all")[0], 200)

    def test_item_state_and_end_time_can_be_set(self):
        number = "220000000102"
        self.site.control(item=number, state="ended", winner=MEMBER, bid="31.00",
                          title="Lamp {{zone}} \u00a3")
        page = self.item_page(number)
        self.assertEqual(read.item_title(page), "Lamp {{zone}} \xa3")
        self.assertEqual(read.portal_reading(page, MEMBER), "WON")
        self.assertEqual(read.agent_state(page, number, MEMBER), "WON")
        self.assertEqual(read.current_bid(page), "31.00")
        self.site.control(item=number, end="Oct-23-05 00:35:02")
        self.assertEqual(read.end_time_text(self.item_page(number), number), "Oct-23-05 00:35:02")

    def test_end_text_stands_in_the_title_in_place_of_the_end_time(self):
        number = "220000000101"
        for shown in ("Dec-1-26 1:00:00", ""):
            with self.subTest(shown=shown):
                self.site.control(item=number, end_text=shown)
                page = self.item_page(number)
                self.assertIn("(item %s end time %s PST)" % (number, shown), page)
                self.assertIsNone(read.parse_end_time(read.end_time_text(page, number)))
                self.assertEqual(read.portal_reading(page, MEMBER), "biddable")

    def test_ended_single_listing_names_its_bidders_below_the_winner(self):
        number = "220000000402"
        self.site.control(item=number, history=MEMBER + ":1,rival_bidder_77:1")
        page = self.item_page(number)
        self.assertIn("userid=" + MEMBER + "&amp;iid=" + number, page)
        self.assertEqual(read.winning_bidder(page), "rival_bidder_77")
        self.assertEqual(read.portal_reading(page, MEMBER), "LOST")
        self.assertEqual(read.agent_state(page, number, MEMBER), "LOST")

    def test_new_item_with_history_and_removal(self):
        status, reply = self.site.control(item="330000000001", state="ended", quantity="4",
                                          history=MEMBER + ":3,someone:1")
        self.assertEqual(status, 200, reply)
        history = self.site.page(BIDS_QUERY + "330000000001")
        self.assertEqual(read.lot_result(history, MEMBER), "WON -3-")
        self.site.control(item="330000000001", remove="1")
        self.assertEqual(read.portal_reading(self.item_page("330000000001"), MEMBER), "invalid")

    def test_bad_control_requests_are_refused_and_change_nothing(self):
        for params in ({"item": "220000000101", "state": "sold"},
                       {"item": "220000000101", "end": "23 Oct 2005"},
                       {"item": "220000000101", "bids": "many"},
                       {"fault": "truncate"}, {"reset": "everything"}, {}):
            with self.subTest(params=params):
                status, reply = self.site.control(**params)
                self.assertEqual(status, 400)
                self.assertFalse(reply["ok"])
        page = self.item_page("220000000101")
        self.assertEqual(read.portal_reading(page, MEMBER), "biddable")
        self.assertEqual(read.bid_count(page, "220000000101"), "7")

    def test_truncated_page_lacks_its_closing_tag_for_the_counted_requests(self):
        self.site.control(item="220000000101", fault="truncate", count="2")
        for _ in range(2):
            page = self.item_page("220000000101")
            self.assertNotIn("</html>", page)
            self.assertIsNone(read.agent_state(page, "220000000101", MEMBER))
        self.assertEqual(read.agent_state(self.item_page("220000000101"), "220000000101",
                                          MEMBER), "ACTIVE")

    def test_oversized_page_is_the_whole_page_past_the_programs_bound(self):
        self.site.control(item="220000000101", fault="oversize", count="1")
        status, _, body = self.site.get(ITEM_QUERY + "220000000101")
        self.assertEqual(status, 200)
        self.assertGreater(len(body), 4 * 1024 * 1024)
        page = body.decode("cp1252")
        self.assertTrue(page.rstrip().endswith("</html>"))
        self.assertEqual(read.agent_state(page, "220000000101", MEMBER), "ACTIVE")
        self.assertLess(len(self.site.get(ITEM_QUERY + "220000000101")[2]), 65536)

    def test_official_time_page_without_closing_tag(self):
        self.site.control(page="time", fault="truncate")
        for _ in range(2):
            self.assertNotIn("</html>", self.site.page(TIME_QUERY))
        self.site.control(page="time", fault="none")
        self.assertIn("</html>", self.site.page(TIME_QUERY))

    def test_official_time_page_whose_times_are_no_times(self):
        self.site.control(page="time", fault="badtime", count="1")
        page = self.site.page(TIME_QUERY)
        for marker in ("<p>The official eBay Time is now:</p>", "Hawaii Time:", "</html>",
                       "All Rights Reserved. Designated trademarks and brands are the"):
            self.assertIn(marker, page)
        self.assertIn("Smarch 41, 2026 99:99:99", page)
        self.assertNotIn("Smarch", self.site.page(TIME_QUERY))

    def test_server_error_and_dropped_connection(self):
        self.site.control(page="*", fault="status500", count="1")
        status, _, body = self.site.get(TIME_QUERY)
        self.assertEqual(status, 500)
        self.assertNotIn(b"</html>", body)
        self.site.control(page="bids:220000000501", fault="drop", count="1")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.site.get(BIDS_QUERY + "220000000501")
        self.assertEqual(self.site.get(BIDS_QUERY + "220000000501")[0], 200)

    def test_stalled_request_gets_no_reply_and_the_next_one_does(self):
        self.site.control(page="item:220000000101", fault="stall", count="1")
        with self.assertRaises((TimeoutError, socket.timeout)):
            self.site.get(ITEM_QUERY + "220000000101", timeout=1.0)
        self.assertEqual(self.site.get(ITEM_QUERY + "220000000101")[0], 200)

    def test_redirect_sends_to_a_location_that_serves_its_own_page(self):
        location = ITEM_QUERY + "220000000101"
        self.site.control(page="item:220000000102", fault="redirect", location=location,
                          count="1")
        status, headers, _ = self.site.get(ITEM_QUERY + "220000000102")
        self.assertEqual((status, headers.get("Location")), (302, location))
        self.assertIn("(item 220000000101 end time", self.site.page(location))
        self.assertIn("(item 220000000102 end time", self.item_page("220000000102"))

    def test_relocation_sends_elsewhere_and_the_location_serves_the_page(self):
        self.site.control(page="time", fault="relocate", location="/x/lvshowall.txt", count="1")
        status, headers, _ = self.site.get(TIME_QUERY)
        self.assertEqual(status, 302)
        self.assertEqual(headers["Location"], "/x/lvshowall.txt")
        self.assertIn("Hawaii Time:", self.site.page("/x/lvshowall.txt"))
        self.assertEqual(self.site.get(TIME_QUERY)[0], 200)
        status, reply = self.site.control(page="time", fault="relocate")
        self.assertEqual(status, 400)

    def test_delay_holds_the_reply_back(self):
        self.site.control(page="time", delay="300")
        started = time.monotonic()
        self.site.page(TIME_QUERY)
        self.assertGreaterEqual(time.monotonic() - started, 0.3)

    def test_trickle_sends_the_header_at_once_and_the_whole_body_in_pieces(self):
        self.site.control(page="item:220000000101", trickle="2000")
        connection = http.client.HTTPConnection("127.0.0.1", self.site.port, timeout=10)
        try:
            connection.request("GET", ITEM_QUERY + "220000000101")
            reply = connection.getresponse()
            headed = time.monotonic()
            length = int(reply.getheader("Content-Length"))
            pieces = []
            while sum(map(len, pieces)) < length:
                piece = reply.read1(length)
                self.assertTrue(piece, "the connection closed before the body was whole")
                pieces.append(piece)
            self.assertGreaterEqual(time.monotonic() - headed, 1.5)
        finally:
            connection.close()
        self.assertGreater(len(pieces), 1)
        page = b"".join(pieces).decode("cp1252")
        self.assertEqual(read.agent_state(page, "220000000101", MEMBER), "ACTIVE")
        self.site.control(page="item:220000000101", trickle="0")

    def test_counter_counts_each_path_and_query_but_not_control(self):
        self.site.get(ITEM_QUERY + "220000000101")
        self.site.get(ITEM_QUERY + "220000000101")
        self.site.get(TIME_QUERY + "&ssPageName=f:f:US")
        self.site.control(item="220000000101", bids="8")
        self.assertEqual(self.site.json("/_stats"), {
            ITEM_QUERY + "220000000101": 2, TIME_QUERY + "&ssPageName=f:f:US": 1})
        self.site.control(reset="stats")
        self.assertEqual(self.site.json("/_stats"), {})

    def test_reset_restores_the_catalogue_and_clears_faults(self):
        self.site.control(item="220000000101", state="fixed", fault="truncate")
        self.site.control(reset="all")
        page = self.item_page("220000000101")
        self.assertEqual(read.portal_reading(page, MEMBER), "biddable")
        self.assertIn("</html>", page)


class CatalogueFile(unittest.TestCase):
    def test_file_items_member_and_offset_replace_the_defaults(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "catalogue.json")
            with open(path, "w", encoding="utf-8") as stream:
                json.dump({"member": "otherbuyer", "offset_seconds": 60, "include_defaults": False,
                           "items": [{"item": "123", "state": "ended", "winner": "otherbuyer",
                                      "end": "Oct-23-05 00:35:02", "title": "Caf\u00e9 table"}]},
                          stream)
            site = SiteProcess("--catalogue", path)
            try:
                page = site.page(ITEM_QUERY + "123")
                self.assertEqual(read.portal_reading(page, "otherbuyer"), "WON")
                self.assertEqual(read.end_time_text(page, "123"), "Oct-23-05 00:35:02")
                self.assertEqual(read.item_title(page), "Caf\xe9 table")
                self.assertEqual(read.portal_reading(site.page(ITEM_QUERY + "220000000101"),
                                                     "otherbuyer"), "invalid")
                behind = datetime.datetime.now() - read.official_time(site.page(TIME_QUERY))
                self.assertAlmostEqual(behind.total_seconds(), 60, delta=3)
            finally:
                site.stop()

    def test_broken_catalogue_is_reported_not_served(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "catalogue.json")
            with open(path, "w", encoding="utf-8") as stream:
                stream.write('{"items": [{"item": "1", "state": "sold"}]}')
            with self.assertRaises(RuntimeError) as caught:
                SiteProcess("--catalogue", path)
            self.assertIn("state must be one of", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
