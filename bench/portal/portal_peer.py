#!/usr/bin/python3
"""The portal's list work done in plain Python, the peer of bench_portal_scale.

Usage: portal_peer.py OPERATION REPEAT
Reads "lvshowall.txt", "lvAllTdate.txt" (and "peer-newgrid.lv", the agent's result, for the
hand-over) from the working directory, runs OPERATION REPEAT times and prints the median time
of one run in milliseconds.
Each pass joins the watch list to the end-time list through a dict built for that pass, with
the end times parsed by strptime, as a short script over the same files would.

Operations: totals, dispatch, handover, update, add, view-outbid, view-high, view-waiting,
view-lost, view-won, worksheet.
"""

import datetime
import statistics
import sys
import time

END_FORMAT = "%m/%d/%y %H:%M:%S"
DIGITS = set("0123456789.")


def read_records(name, size):
    with open(name, "rb") as file:
        lines = file.read().decode("cp1252").split("\r\n")[:-1]
    return [lines[i:i + size] for i in range(0, len(lines) - size + 1, size)]


def numeric(text):
    return text != "" and set(text) <= DIGITS


def end_index(entries):
    index = {}
    for entry in entries:
        index.setdefault(entry[0].upper(), entry)
    return index


def end_of(index, item):
    entry = index.get(item.upper())
    return datetime.datetime.strptime(entry[1], END_FORMAT) if entry else None


def next_bid(rows, entries):
    now = datetime.datetime.now()
    by_item = {}
    for row in rows:
        by_item.setdefault(row[0].upper(), row)
    best, chosen = None, None
    for entry in entries:
        row = by_item.get(entry[0].upper())
        if row is None:
            continue
        end = datetime.datetime.strptime(entry[1], END_FORMAT)
        if end > now and (best is None or end < best):
            best, chosen = end, row
    return chosen


def totals(rows, entries):
    next_bid(rows, entries)
    index = end_index(entries)
    every = open_sum = hour = 0.0
    for row in rows:
        value = float(row[3]) if numeric(row[3]) else None
        if value is not None:
            every += value
        end = end_of(index, row[0])
        if end is None or value is None:
            continue
        now = datetime.datetime.now()
        if end > now:
            open_sum += value
            if end < now + datetime.timedelta(hours=1):
                hour += value
    return ["%.2f" % every, "%.2f" % open_sum, "%.2f" % hour]


def dispatch(rows, entries):
    by_item = {}
    for row in rows:
        by_item.setdefault(row[0].upper(), row)
    reference = datetime.datetime.now() + datetime.timedelta(seconds=20)
    due = []
    for entry in entries:
        row = by_item.get(entry[0].upper())
        if row is None:
            continue
        snipe = float(row[1])
        if entry[2] != "1":
            continue
        end = datetime.datetime.strptime(entry[1], END_FORMAT)
        minutes = int(abs((end - reference).total_seconds()) // 60)
        if minutes < 20 and snipe != 0:
            due.append(entry[0])
    totals(rows, entries)
    return due


def ends_text(end):
    minutes = int(abs((end - datetime.datetime.now()).total_seconds()) // 60)
    if minutes >= 60:
        days = minutes // 1440
        return "%d days" % days if days > 0 else "%dh %dm" % (minutes // 60, minutes % 60)
    seconds = int(abs((end - datetime.datetime.now()).total_seconds()))
    return "%dm %ds" % (seconds // 60, seconds % 60)


def handover(rows, entries):
    by_item = {}
    for row in rows:
        by_item.setdefault(row[0].upper(), row)
    index = end_index(entries)
    for record in read_records("peer-newgrid.lv", 9):
        row = by_item.get(record[0].upper())
        if row is None:
            continue
        row[3], row[4] = record[2], record[3]
        if record[5] == "ACTIVE":
            end = end_of(index, row[0])
            if end is not None:
                row[6] = ends_text(end)
        else:
            row[6] = record[5]
    totals(rows, entries)


def update(rows, entries):
    item = rows[len(rows) // 2][0]
    for row in rows:
        if row[0].upper() == item.upper():
            row[3], row[4], row[6] = "21.50", "9", "2 days"
            break
    totals(rows, entries)


def add(rows, entries):
    rows.append(["239999999999", "0.00", "A new listing", "21.50", "9", "1", "2 days", "USD",
                 "IND"])
    entries.append(["239999999999", datetime.datetime.now().strftime(END_FORMAT), "1"])
    with open("peer-lvAllTdate.txt", "wb") as file:
        file.write("".join(line + "\r\n" for entry in entries for line in entry).encode("cp1252"))
    totals(rows, entries)
    rows.pop()
    entries.pop()


def view(test):
    def build(rows, entries):
        index = end_index(entries)
        shown = []
        for row in rows:
            end = end_of(index, row[0])
            if end is None:
                continue
            if test(row, end, datetime.datetime.now()):
                shown.append(list(row))
        return shown
    return build


def amounts(row):
    current = float(row[3]) if numeric(row[3]) else 0.0
    snipe = float(row[1]) if numeric(row[1]) else -1.0
    return current, snipe


def worksheet(rows, entries):
    del entries
    cells = {(1, 1): "ITEM #", (1, 2): "DESCRIPTION / TITLE OF AUCTION", (1, 3): "PRICE",
             (1, 4): "SHIPPING", (1, 5): "OTHER", (1, 6): "TOTAL"}
    r = 2
    for row in rows:
        cells[(r, 1)] = row[0]
        cells[(r, 2)] = row[2]
        cells[(r, 3)] = float(row[3]) if numeric(row[3]) else row[3]
        cells[(r, 6)] = "=SUM(C%d:E%d)" % (r, r)
        r += 1
    cells[(r, 2)] = "*** TOTALS ***"
    for column, letter in ((3, "C"), (4, "D"), (5, "E"), (6, "F")):
        cells[(r, column)] = "=SUM(%s2:%s%d)" % (letter, letter, r - 1)
    # The sheet's sums, as the workbook works them out.
    line_totals = [cells[(i, 3)] for i in range(2, r) if isinstance(cells[(i, 3)], float)]
    return sum(line_totals)


OPERATIONS = {
    "totals": totals,
    "dispatch": dispatch,
    "handover": handover,
    "update": update,
    "add": add,
    "view-outbid": view(lambda row, end, now: end > now and amounts(row)[1] <= amounts(row)[0]),
    "view-high": view(lambda row, end, now: end > now and amounts(row)[1] > amounts(row)[0]),
    "view-waiting": view(lambda row, end, now: row[1] != "0.00" and end > now),
    "view-lost": view(lambda row, end, now: end < now and "LOST" in row[6]),
    "view-won": view(lambda row, end, now: end < now and "WON" in row[6]),
    "worksheet": worksheet,
}


def main(argv):
    operation, repeat = OPERATIONS[argv[1]], int(argv[2])
    rows = read_records("lvshowall.txt", 9)
    entries = read_records("lvAllTdate.txt", 3)
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        operation(rows, entries)
        times.append((time.perf_counter() - start) * 1000.0)
    print("%.4f" % statistics.median(times))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
