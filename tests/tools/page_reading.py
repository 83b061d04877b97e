"""How the two programs read the site's pages, written out in Python for the site's tests.

Texts are the pages' Windows-1252 bytes decoded one byte to one character (latin-1), so
positions and the no-break space 0xA0 are as the programs see them. Positions are 1-based
and 0 means "not found"; "cut after" keeps the text from the marker's second character.
"""

import datetime

NBSP = "\xa0"
DESCRIPTION = "<!-- Begin Description -->"


def page_text(body):
    return body.decode("latin-1")


def pos(text, marker):
    return text.find(marker) + 1


def left(text, count):
    return text[:count] if count > 0 else ""


def right(text, count):
    return text[-count:] if count > 0 else ""


def sub(text, start, count):
    start = max(start, 1)
    return text[start - 1:start - 1 + count] if count > 0 else ""


def cut_after(text, marker):
    return right(text, len(text) - pos(text, marker))


def cut_before(text, marker):
    return left(text, pos(text, marker) - 1)


def is_numeric(text):
    return text != "" and all(c in "0123456789." for c in text)


def clean_amount(text):
    text = text.replace(" ", "").replace("\t", "")
    text = text.strip("".join(chr(c) for c in range(33)))
    text = text.replace(",", "")
    return text if is_numeric(text) else "***"


def item_title(page):
    window = sub(page, pos(page, '<h1 class="itemTitle">') + 22, 100)
    end = pos(window, "</h1>")
    return left(window, end - 1) if end else "error : title not found"


CURRENCY_TESTS = (("AU", "AUS"), ("INR", "IND"), (" C ", "CAN"), ("EUR", "EUR"),
                  ("NT$", "NTD"), ("GBP", "GBP"), ("CHF", "CHF"), ("US", "USD"))


def currency_code(page):
    text = cut_after(page, ">Ready to bid")
    marker = pos(text, NBSP + "<b>or more</b>)")
    text = right(text, len(text) - marker + 20)
    enter = pos(text, "(Enter")
    if not enter:
        return "***"
    window = sub(text, enter, 10)
    return next((code for needle, code in CURRENCY_TESTS if needle in window), "***")


def current_bid(page):
    code = currency_code(page)
    after_ready = cut_after(page, ">Ready to bid")
    if code in ("CHF", "EUR", "GBP"):
        text = cut_after(after_ready, " bid:")
        start = pos(text, '"top">' + code + NBSP)
        if not start:
            return "***"
        window = sub(text, start + 10, 100)
        return clean_amount(sub(window, 1, pos(window, "<") - 2))
    if code == "AUS":
        text = cut_after(after_ready, " bid:")
        start = pos(text, "$")
        if not start:
            return "***"
        window = sub(text, start, 100)
        return clean_amount(sub(window, 2, pos(window, "<") - 3))
    text = cut_after(after_ready, "bid:")
    start = pos(text, "$")
    if not start:
        return "***"
    window = sub(text, start, 100)
    return clean_amount(sub(window, 2, pos(window, ".") + 1))


def item_quantity(page):
    text = left(page, pos(page, "Item location:"))
    if not pos(text, "Quantity:"):
        return "1"
    text = cut_after(text, "Quantity:")
    window = sub(text, pos(text, "</td><td>") + 9, 10)
    return cut_before(window, " ")


def bid_count(page, number):
    text = left(page, pos(page, "Ships to:"))
    if "Bidders list" in text:
        return "LOT" if "Quantity:" in text else "undetermined"
    text = cut_after(text, ">History:<")
    text = cut_after(text, number + '">')
    text = cut_after(text, ">")
    return cut_before(text, " ")


def end_time_text(page, number):
    text = cut_after(cut_after(page, number), " ")
    text = left(text, pos(text, "T)"))
    text = right(text, len(text) - pos(text, " end time ") - 9)
    text = left(text, len(text) - 4)
    return text or "undetermined"


MONTHS = ("JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC")


def parse_end_time(text):
    """The end-time text as a date-time; None where the programs fall back to Now()."""
    text = text.replace("-", "/")
    month = "%02d" % (MONTHS.index(text[:3].upper()) + 1 if text[:3].upper() in MONTHS else 1)
    try:
        return datetime.datetime.strptime(month + right(text, 15), "%m/%d/%y %H:%M:%S")
    except ValueError:
        return None


def official_time(page):
    """The official time the portal reads from the official-time page."""
    text = right(page, len(page) - pos(page, "<p>The official eBay Time is now:</p>") - 43)
    text = right(text, len(text) - pos(text, ", ") - 1)
    text = cut_before(text, " P")
    text = text.replace(" ", "-", 1).replace(", 20", "-", 1)
    return parse_end_time(text)


def bidding_ended(page):
    return "<b>Bidding has ended for this item</b>" in left(page, pos(page, DESCRIPTION))


def winning_bidder(page):
    text = cut_after(left(page, pos(page, DESCRIPTION)), ">Winning bidder:<")
    start, end = pos(text, "userid="), pos(text, "&amp;iid=")
    return sub(text, start + 7, end - start - 7)


def lot_result(page, member):
    """The state word a bid-history page gives; None leaves the row's state unchanged."""
    if member not in page:
        return "LOST"
    text = cut_after(cut_after(page, "Date of bid</TD>"), "userid=" + member)
    for skip in (15, 15, 16):
        text = right(text, len(text) - pos(text, "<TD align=middle>") - skip)
    cell = left(text, pos(text, "</TD>") - 1)
    if not is_numeric(cell):
        return None
    try:
        units = int(cell)
    except ValueError:
        return "..."
    return "WON -%d-" % units if units > 0 else "LOST"


def portal_reading(page, member):
    """What the portal's item-page junction makes of a page (test order kept)."""
    if ("</html>" in page and 'le">Ready to bid' not in page
            and 'le">Ready to buy?<' in page):
        return "fixed price"
    if all(marker in page for marker in ("Ready to bid", "Member since", "</html>")):
        return "biddable"
    if "Bidding has ended for this item" in page:
        return ended_state(page, number_in_title(page), member)
    if "<title>Invalid Item</title>" in page:
        return "invalid"
    return None


def agent_state(page, number, member):
    """The state word the agent writes for an item page; None when it does not recognise it."""
    live = all(m in page for m in ('e">Ready to bid', number, "</html>"))
    ended = "Bidding has ended for this item" in page and number in page
    if not (live or ended):
        return None
    if not bidding_ended(page):
        return "ACTIVE"
    return ended_state(page, number, member)


def ended_state(page, number, member):
    """What both programs make of an ended item page for the member."""
    if bid_count(page, number) == "LOT":
        return "ENDED - LOT"
    member = member.strip()
    return "WON" if member and winning_bidder(page).lower() == member.lower() else "LOST"


def number_in_title(page):
    """The item number the page's title gives."""
    return cut_before(cut_after(page, "(item ")[5:], " ")


def agent_knows_bid_history(page, number):
    return all(m in page for m in ("not automatic bids generated", number, "eBay official time"))


def browser_sync_accepts(page):
    return all(m in page for m in ("All Rights Reserved. Designated trademarks and brands are the",
                                   "Hawaii Time:", "</html>"))
