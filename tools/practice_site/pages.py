"""Renders the site's pages from the Windows-1252 templates beside this file.

Templates hold "{{name}}" fields. Files whose names begin with "_" are fragments that are
put into other pages. Every page goes out with CR LF line ends, as Windows-1252 bytes.
"""

import datetime
import re
from pathlib import Path

from catalogue import format_end_text

TEMPLATE_DIR = Path(__file__).resolve().parent / "templates"
ENCODING = "cp1252"
FIELD = re.compile(r"\{\{(\w+)\}\}")
ZONE = "PST"
HAWAII_ZONE = "HST"
HAWAII_BEHIND = datetime.timedelta(hours=2)
BID_INCREMENT = 0.50

WEEKDAYS = ("Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday")
MONTH_NAMES = ("January", "February", "March", "April", "May", "June", "July", "August",
               "September", "October", "November", "December")

# How each currency road shows money: the current-bid cell fragment, its fields, and the
# money text used in the "(Enter ...)" phrase and on ended pages.
CURRENCY_ROADS = {
    "USD": ("_bid_dollar.html", {"prefix": "US "}, "US $"),
    "CAN": ("_bid_dollar.html", {"prefix": "C "}, "C $"),
    "AUS": ("_bid_aus.html", {}, "AU $"),
    "EUR": ("_bid_top.html", {"code": "EUR"}, "EUR "),
    "GBP": ("_bid_top.html", {"code": "GBP"}, "GBP "),
    "CHF": ("_bid_top.html", {"code": "CHF"}, "CHF "),
}


class Templates:
    """Loads each template once and fills its fields."""

    def __init__(self, folder=TEMPLATE_DIR):
        self.folder = Path(folder)
        self.cache = {}

    def text(self, name):
        if name not in self.cache:
            raw = (self.folder / name).read_bytes().decode(ENCODING)
            raw = raw.replace("\r\n", "\n")
            if name.startswith("_"):
                raw = raw.rstrip("\n")
            self.cache[name] = raw
        return self.cache[name]

    def fill(self, name, **fields):
        """The template with every field put in, in one pass, so values stay as given."""
        text = self.text(name)
        missing = set(FIELD.findall(text)) - set(fields)
        if missing:
            raise KeyError("template %s needs %s" % (name, ", ".join(sorted(missing))))
        return FIELD.sub(lambda match: str(fields[match.group(1)]), text)


def encode_page(text):
    return text.replace("\n", "\r\n").encode(ENCODING, errors="replace")


def drop_closing_tag(body):
    """The page as a load that stopped short: everything from "</html>" on is missing."""
    end = body.find(b"</html>")
    return body if end < 0 else body[:end]


# Longest page the programs take (4 MiB); an oversized page goes past it.
PROGRAMS_PAGE_BOUND = 4 * 1024 * 1024


def pad_past_bound(body):
    """The whole page, every marker kept, made longer than the programs take by a comment of
    filler put before "</html>" (at the end when the page has none)."""
    end = body.find(b"</html>")
    end = len(body) if end < 0 else end
    filler = b"<!-- " + b"x" * (PROGRAMS_PAGE_BOUND + 65536 - len(body)) + b" -->\r\n"
    return body[:end] + filler + body[end:]


# The official time's place holding no time (the "badtime" fault).
UNREADABLE_TIME = "Thursday, Smarch 41, 2026 99:99:99 PST"


def official_time_text(moment, zone=ZONE):
    """Weekday, Month dd, yyyy hh:mm:ss ZONE, as the official-time page shows the clock."""
    return "%s, %s %02d, %04d %02d:%02d:%02d %s" % (
        WEEKDAYS[moment.weekday()], MONTH_NAMES[moment.month - 1], moment.day, moment.year,
        moment.hour, moment.minute, moment.second, zone)


def time_left_text(end, now):
    seconds = int((end - now).total_seconds())
    if seconds <= 0:
        return "Ended"
    days, rest = divmod(seconds, 86400)
    hours, rest = divmod(rest, 3600)
    minutes, seconds = divmod(rest, 60)
    if days:
        return "%d days %d hours" % (days, hours)
    if hours:
        return "%d hours %d mins" % (hours, minutes)
    return "%d mins %d secs" % (minutes, seconds)


def next_bid_text(bid):
    """The least next bid, written without thousands commas; the bid itself if not a number."""
    try:
        return "%.2f" % (float(bid.replace(",", "")) + BID_INCREMENT)
    except ValueError:
        return bid


class PageMaker:
    """Builds every page of the site from an item and the site's current time."""

    def __init__(self, templates=None):
        self.templates = templates or Templates()

    def _common(self, item):
        end = format_end_text(item.end) if item.end_text is None else item.end_text
        return {"title": item.title, "item": item.number, "end": end,
                "zone": ZONE, "quantity": item.quantity,
                "footer": self.templates.fill("_listing_footer.html")}

    def _history_text(self, item):
        return "Bidders list" if item.multi_quantity else "%d bids" % item.bids

    def item_page(self, item, now):
        if item.state == "live":
            return self._live_page(item, now)
        if item.state == "ended":
            return self._ended_page(item)
        return self._fixed_page(item, now)

    def _live_page(self, item, now):
        fragment, fields, money = CURRENCY_ROADS[item.currency]
        bid_cell = self.templates.fill(fragment, amount=item.bid, **fields)
        start = item.end - datetime.timedelta(days=7)
        return self.templates.fill(
            "item_live.html", bid_cell=bid_cell, next_bid=money + next_bid_text(item.bid),
            time_left=time_left_text(item.end, now), start=format_end_text(start),
            history_text=self._history_text(item), **self._common(item))

    def _ended_page(self, item):
        money = CURRENCY_ROADS[item.currency][2]
        if item.multi_quantity:
            winner_row = self.templates.fill("_winners_list_row.html")
        else:
            winner_row = self.templates.fill("_winner_row.html", winner=item.winner,
                                             item=item.number)
        return self.templates.fill(
            "item_ended.html", winning_bid=money + item.bid, winner_row=winner_row,
            bidders_row=self._bidders_row(item), history_text=self._history_text(item),
            **self._common(item))

    def _bidders_row(self, item):
        """An ended single listing with a history names its bidders, each with a link."""
        if item.multi_quantity or not item.history:
            return ""
        links = ", ".join(self.templates.fill("_bidder_link.html", userid=row.userid,
                                              item=item.number) for row in item.history)
        return self.templates.fill("_bidders_row.html", links=links)

    def _fixed_page(self, item, now):
        money = CURRENCY_ROADS[item.currency][2]
        return self.templates.fill("item_fixed.html", price=money + item.bid,
                                   time_left=time_left_text(item.end, now),
                                   **self._common(item))

    def bid_history_page(self, item):
        bid_time = format_end_text(item.end - datetime.timedelta(hours=1))
        rows = "\n".join(
            self.templates.fill("_bid_history_row.html", userid=row.userid, amount=row.amount,
                                wanted=row.wanted, units=row.units, date=bid_time, zone=ZONE)
            for row in item.history)
        return self.templates.fill("bid_history.html", title=item.title, item=item.number,
                                   rows=rows)

    def time_page(self, now, readable=True):
        """The official-time page; not readable: every marker in place, the times no times."""
        if not readable:
            return self.templates.fill("time_show.html", official=UNREADABLE_TIME,
                                       hawaii=UNREADABLE_TIME)
        return self.templates.fill(
            "time_show.html", official=official_time_text(now),
            hawaii=official_time_text(now - HAWAII_BEHIND, HAWAII_ZONE))

    def invalid_item_page(self):
        return self.templates.fill("item_invalid.html")

    def server_error_page(self):
        return self.templates.fill("server_error.html")

    def not_found_page(self):
        return self.templates.fill("not_found.html")
