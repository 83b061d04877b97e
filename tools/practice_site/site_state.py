"""The site's mutable state: clock offset, items, faults, delays, trickles and the request
counter.

Request threads and control requests share one instance; every method takes the lock.
"""

import collections
import datetime
import threading

from catalogue import CatalogueError, ITEM_FIELDS, apply_fields, make_item

FAULT_KINDS = ("truncate", "oversize", "status500", "drop", "stall", "relocate", "redirect",
               "badtime")


def page_key(command, item):
    """The name a fault or delay is set under: "item:N", "bids:N" or "time"."""
    if command == "viewitem":
        return "item:" + item
    if command == "viewbids":
        return "bids:" + item
    return "time"


class SiteState:
    def __init__(self, entries, offset_seconds=0.0):
        self.lock = threading.Lock()
        self.initial_entries = list(entries)
        self.initial_offset = float(offset_seconds)
        self.offset_seconds = self.initial_offset
        self.items = {}
        self.faults = {}
        self.relocations = {}  # page key -> the location its relocate fault sends to
        self.relocated = {}  # location path (lower case) -> the target it stands for
        self.delays = {}
        self.trickles = {}  # page key -> milliseconds its body is spread over
        self.stats = collections.Counter()
        self._load_items()

    # Clock -------------------------------------------------------------------------------

    def site_now(self):
        """The site's (eBay's) clock: local time minus the offset, whole seconds."""
        with self.lock:
            offset = self.offset_seconds
        now = datetime.datetime.now() - datetime.timedelta(seconds=offset)
        return now.replace(microsecond=0)

    def set_offset(self, seconds):
        with self.lock:
            self.offset_seconds = float(seconds)

    # Items -------------------------------------------------------------------------------

    def _load_items(self):
        now = self.site_now()
        items = {}
        for fields in self.initial_entries:
            item = make_item(fields, now)
            items[item.number] = item
        with self.lock:
            self.items = items

    def find_item(self, number):
        with self.lock:
            return self.items.get(number)

    def upsert_item(self, number, fields):
        now = self.site_now()
        with self.lock:
            item = self.items.get(number)
            if item is None:
                item = make_item({"item": number, "ends_in": 2 * 86400}, now)
            # Apply to a copy first so that a bad field leaves the item as it was.
            changed = make_item(dict(item.to_json(), item=number), now)
            apply_fields(changed, {k: v for k, v in fields.items() if k in ITEM_FIELDS}, now)
            self.items[number] = changed
            return changed

    def remove_item(self, number):
        with self.lock:
            self.items.pop(number, None)

    def catalogue_json(self):
        with self.lock:
            return [item.to_json() for item in self.items.values()]

    # Faults and delays -------------------------------------------------------------------

    def set_fault(self, key, kind, count, location=None):
        if kind == "none":
            with self.lock:
                self.faults.pop(key, None)
            return
        if kind not in FAULT_KINDS:
            raise CatalogueError("fault must be one of %s or none" % ", ".join(FAULT_KINDS))
        if kind in ("relocate", "redirect") and not (location or "").startswith("/"):
            raise CatalogueError("a %s fault needs location=/path" % kind)
        with self.lock:
            self.faults[key] = [kind, count]
            if kind in ("relocate", "redirect"):
                self.relocations[key] = location

    def redirection(self, key):
        """The location a redirect fault sends the page to, served as itself."""
        with self.lock:
            return self.relocations.get(key, self.relocations.get("*", "/"))

    def relocation(self, key, target):
        """The location the page is relocated to; from then on that location's path serves
        target (the page asked for), whatever its query."""
        with self.lock:
            location = self.relocations.get(key, self.relocations.get("*", "/"))
            self.relocated[location.partition("?")[0].lower()] = target
            return location

    def relocated_target(self, path):
        """The target that a relocation's location path stands for, or None."""
        with self.lock:
            return self.relocated.get(path.lower())

    def take_fault(self, key):
        """The fault for this page (or for every page, "*"), counted down by one use."""
        with self.lock:
            for name in (key, "*"):
                fault = self.faults.get(name)
                if fault is None:
                    continue
                kind, remaining = fault
                if remaining is not None:
                    if remaining <= 1:
                        del self.faults[name]
                    else:
                        fault[1] = remaining - 1
                return kind
            return None

    def set_delay(self, key, milliseconds):
        self._set_timing(self.delays, key, milliseconds)

    def delay_for(self, key):
        return self._timing_for(self.delays, key)

    def set_trickle(self, key, milliseconds):
        self._set_timing(self.trickles, key, milliseconds)

    def trickle_for(self, key):
        return self._timing_for(self.trickles, key)

    def _set_timing(self, table, key, milliseconds):
        """Sets a page's milliseconds in a table of timings (delays, trickles); 0 clears."""
        with self.lock:
            if milliseconds <= 0:
                table.pop(key, None)
            else:
                table[key] = milliseconds

    def _timing_for(self, table, key):
        """The page's milliseconds in the table, else those for every page, else 0."""
        with self.lock:
            return table.get(key, table.get("*", 0))

    # Counter -----------------------------------------------------------------------------

    def count(self, target):
        with self.lock:
            self.stats[target] += 1

    def stats_json(self):
        with self.lock:
            return dict(self.stats)

    def reset(self, what):
        if what not in ("stats", "faults", "all"):
            raise CatalogueError("reset must be stats, faults or all")
        with self.lock:
            self.stats.clear()
            if what == "stats":
                return
            self.faults.clear()
            self.relocations.clear()
            self.relocated.clear()
            self.delays.clear()
            self.trickles.clear()
            if what == "faults":
                return
            self.offset_seconds = self.initial_offset
        self._load_items()
