#!/usr/bin/python3
"""The agent's peer: Python's urllib fetching the same item pages, one after another.

Usage: urllib_peer.py BASE_URL FIRST_ITEM COUNT
Fetches BASE_URL/ws/eBayISAPI.dll?ViewItem&item=N for COUNT item numbers from FIRST_ITEM on,
reading each page whole, and prints the seconds it took.
"""

import sys
import time
import urllib.request


def main(argv):
    base, first, count = argv[1], int(argv[2]), int(argv[3])
    start = time.perf_counter()
    for number in range(first, first + count):
        url = "%s/ws/eBayISAPI.dll?ViewItem&item=%d" % (base, number)
        with urllib.request.urlopen(url) as reply:
            page = reply.read()
        if b"</html>" not in page:
            print("urllib_peer: %s came cut" % url, file=sys.stderr)
            return 1
    print("%.4f" % (time.perf_counter() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
