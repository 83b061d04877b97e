"""The items the practice site knows: their model, the JSON form and the built-in catalogue.

Every end time is kept as a naive date-time on the site's clock (local time minus the
site's offset), because the programs read the page's end time as eBay time.
"""

import datetime
import json

STATES = ("live", "ended", "fixed")

# Currency codes as the programs name them, with the spellings a catalogue may also use.
CURRENCY_ALIASES = {
    "USD": "USD", "US": "USD",
    "AUS": "AUS", "AU": "AUS", "AUD": "AUS",
    "CAN": "CAN", "C": "CAN", "CAD": "CAN",
    "EUR": "EUR",
    "GBP": "GBP",
    "CHF": "CHF",
}

DEFAULT_MEMBER = "tarnbuyer"
OTHER_BIDDER = "rival_bidder_77"

END_TEXT_FORMAT_HELP = "Mon-dd-yy hh:mm:ss, for example Dec-08-26 06:43:33"
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


class CatalogueError(ValueError):
    """A catalogue entry or a control request that cannot be applied."""


class HistoryRow:
    """One bidder's line on a bid-history page."""

    def __init__(self, userid, units, wanted=None, amount="US $10.00"):
        self.userid = str(userid)
        self.units = str(units)
        self.wanted = str(wanted if wanted is not None else units)
        self.amount = str(amount)

    def to_json(self):
        return {"userid": self.userid, "units": self.units, "wanted": self.wanted,
                "amount": self.amount}


class Item:
    """One listing of the site."""

    def __init__(self, number, end):
        self.number = number
        self.state = "live"
        self.title = "Practice listing " + number
        self.currency = "USD"
        self.bid = "12.50"
        self.bids = 7
        self.quantity = 1
        self.end = end
        # The end as the item page shows it, in place of the end time; None shows the end time.
        self.end_text = None
        self.winner = ""
        self.history = []

    @property
    def multi_quantity(self):
        return self.quantity > 1

    def to_json(self):
        return {"item": self.number, "state": self.state, "title": self.title,
                "currency": self.currency, "bid": self.bid, "bids": self.bids,
                "quantity": self.quantity, "end": format_end_text(self.end),
                "end_text": self.end_text, "winner": self.winner, "history": [row.to_json() for row in self.history]}


def format_end_text(moment):
    """The end-time text of the item pages: Mon-dd-yy hh:mm:ss (English month, 24-hour)."""
    return "%s-%02d-%02d %02d:%02d:%02d" % (MONTHS[moment.month - 1], moment.day,
                                            moment.year % 100, moment.hour, moment.minute,
                                            moment.second)


def parse_end_text(text):
    try:
        month_day_year, clock = text.strip().split(" ")
        month, day, year = month_day_year.split("-")
        hour, minute, second = (int(part) for part in clock.split(":"))
        return datetime.datetime(2000 + int(year), MONTHS.index(month.title()) + 1, int(day),
                                 hour, minute, second)
    except ValueError as error:
        raise CatalogueError("end time %r is not in the form %s" % (text, END_TEXT_FORMAT_HELP)) \
            from error


def parse_history(value):
    """A history as a JSON list of rows, or as the text "userid:units,userid:units"."""
    if isinstance(value, str):
        rows = []
        for part in filter(None, (piece.strip() for piece in value.split(","))):
            userid, sep, units = part.partition(":")
            if not sep or not userid:
                raise CatalogueError("history entry %r is not userid:units" % part)
            rows.append(HistoryRow(userid, units))
        return rows
    if isinstance(value, list):
        try:
            return [HistoryRow(row["userid"], row.get("units", "1"), row.get("wanted"),
                               row.get("amount", "US $10.00")) for row in value]
        except (KeyError, TypeError, AttributeError) as error:
            raise CatalogueError("history rows need a userid") from error
    raise CatalogueError("history must be a list of rows or a userid:units text")


def apply_fields(item, fields, site_now):
    """Change an item by the given fields (JSON values or control-query texts)."""
    try:
        if "state" in fields:
            state = str(fields["state"]).lower()
            if state not in STATES:
                raise CatalogueError("state must be one of %s" % ", ".join(STATES))
            item.state = state
        if "title" in fields:
            item.title = str(fields["title"])
        if "currency" in fields:
            code = str(fields["currency"]).upper()
            if code not in CURRENCY_ALIASES:
                raise CatalogueError("unknown currency %r" % fields["currency"])
            item.currency = CURRENCY_ALIASES[code]
        if "bid" in fields:
            item.bid = str(fields["bid"])
        if "bids" in fields:
            item.bids = int(fields["bids"])
        if "quantity" in fields:
            item.quantity = int(fields["quantity"])
        if "ends_in" in fields:
            item.end = site_now + datetime.timedelta(seconds=float(fields["ends_in"]))
        if "end" in fields:
            item.end = parse_end_text(str(fields["end"]))
        if "end_text" in fields:
            item.end_text = None if fields["end_text"] is None else str(fields["end_text"])
        if "winner" in fields:
            item.winner = str(fields["winner"])
        if "history" in fields:
            item.history = parse_history(fields["history"])
    except (TypeError, ValueError) as error:
        if isinstance(error, CatalogueError):
            raise
        raise CatalogueError("bad value for item %s: %s" % (item.number, error)) from error
    item.end = item.end.replace(microsecond=0)
    return item


ITEM_FIELDS = ("state", "title", "currency", "bid", "bids", "quantity", "ends_in", "end",
               "end_text", "winner", "history")


def make_item(fields, site_now):
    if not isinstance(fields, dict):
        raise CatalogueError("an item is a JSON object, not %r" % (fields,))
    number = str(fields.get("item", "")).replace(" ", "")
    if not number:
        raise CatalogueError("every item needs an item number")
    return apply_fields(Item(number, site_now), fields, site_now)


DAY = 86400
HOUR = 3600
MINUTE = 60

# Live auctions of each currency road end in 2 days, in 90 minutes and in 30 minutes.
LIVE_ROADS = (
    ("USD", 100, "12.50"), ("AUS", 110, "15.25"), ("CAN", 120, "14.75"),
    ("EUR", 130, "11.40"), ("GBP", 140, "9.80"), ("CHF", 150, "18.60"),
)
LIVE_ENDINGS = ((1, 2 * DAY, "two days"), (2, 90 * MINUTE, "90 minutes"),
                (3, 30 * MINUTE, "30 minutes"))

ITEM_BASE = 220000000000


def default_catalogue(member):
    """The built-in catalogue as item field sets; README.md lists the numbers."""
    entries = []
    for currency, base, bid in LIVE_ROADS:
        for offset, seconds, words in LIVE_ENDINGS:
            entries.append({"item": str(ITEM_BASE + base + offset), "state": "live",
                            "currency": currency, "bid": bid, "bids": 7, "ends_in": seconds,
                            "title": "Practice %s auction ending in %s" % (currency, words)})
    entries.append({"item": str(ITEM_BASE + 104), "state": "live", "currency": "USD",
                    "bid": "1,234.56", "bids": 31, "ends_in": 2 * DAY,
                    "title": "Practice USD auction with a four-figure bid"})
    entries.append({"item": str(ITEM_BASE + 201), "state": "live", "currency": "USD",
                    "bid": "4.00", "quantity": 5, "ends_in": 2 * DAY,
                    "title": "Practice multi-quantity auction, five available"})
    entries.append({"item": str(ITEM_BASE + 301), "state": "fixed", "currency": "USD",
                    "bid": "25.00", "ends_in": 7 * DAY,
                    "title": "Practice fixed-price listing"})
    entries.append({"item": str(ITEM_BASE + 401), "state": "ended", "bid": "20.00", "bids": 9,
                    "ends_in": -DAY, "winner": member,
                    "title": "Practice ended auction won by the member"})
    entries.append({"item": str(ITEM_BASE + 402), "state": "ended", "bid": "20.00", "bids": 9,
                    "ends_in": -DAY, "winner": OTHER_BIDDER,
                    "title": "Practice ended auction lost to another bidder"})
    lots = ((501, "2", "won two units"), (502, "0", "no unit won"),
            (503, "1.5", "a fractional unit count"), (504, "two", "a unit count in letters"),
            (505, None, "the member absent from the history"))
    for offset, units, words in lots:
        history = [{"userid": OTHER_BIDDER, "units": "3", "amount": "US $6.00"}]
        if units is not None:
            history.insert(0, {"userid": member, "units": units, "wanted": "2",
                               "amount": "US $5.50"})
        entries.append({"item": str(ITEM_BASE + offset), "state": "ended", "bid": "5.50",
                        "quantity": 5, "ends_in": -DAY, "history": history,
                        "title": "Practice ended multi-quantity auction, " + words})
    return entries


def load_catalogue_file(path):
    """Read a catalogue file: {"member", "offset_seconds", "include_defaults", "items"}."""
    with open(path, "rb") as stream:
        try:
            data = json.loads(stream.read().decode("utf-8"))
        except (UnicodeDecodeError, json.JSONDecodeError) as error:
            raise CatalogueError("%s is not a JSON catalogue: %s" % (path, error)) from error
    if isinstance(data, list):
        data = {"items": data}
    if not isinstance(data, dict) or not isinstance(data.get("items", []), list):
        raise CatalogueError("%s: a catalogue is an object with an \"items\" list" % path)
    return data
