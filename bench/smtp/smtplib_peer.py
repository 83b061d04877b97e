"""The peer of the mail benchmark: Python's smtplib sending mails to the benchmark's sink.

Usage: smtplib_peer.py PORT COUNT BODY_LINES. Connects to 127.0.0.1:PORT, sends COUNT mails
over the one connection, each with the header lines the client under test writes and a body
of BODY_LINES lines of 76 characters, quits, and prints the seconds this took (the
interpreter's start-up and the building of the message are not counted).
"""
import email.utils
import smtplib
import sys
import time


def message(body_lines):
    header = [
        "From: bench@sink.test",
        "To: rcpt@sink.test",
        "Subject: benchmark",
        "Sender: bench@sink.test",
        "Mime-Version: 1.0",
        'Content-Type: text/plain; charset="iso-8859-1"',
        "Date: " + email.utils.formatdate(usegmt=True),
        "Message-ID: <" + email.utils.make_msgid()[1:-1] + ">",
        "X-Mailer: benchmark",
    ]
    line = "x" * 76
    return "\r\n".join(header + [""] + [line] * body_lines) + "\r\n"


def main():
    port, count, body_lines = (int(a) for a in sys.argv[1:4])
    text = message(body_lines).encode("ascii")
    start = time.perf_counter()
    with smtplib.SMTP("127.0.0.1", port) as client:
        for _ in range(count):
            client.sendmail("bench@sink.test", ["rcpt@sink.test"], text)
    print(time.perf_counter() - start)


if __name__ == "__main__":
    main()
