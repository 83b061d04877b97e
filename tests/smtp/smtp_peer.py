"""A real SMTP server on 127.0.0.1 for the SMTP client's tests (Debian's python3-aiosmtpd).

Usage: smtp_peer.py MAILBOX. Accepts AUTH LOGIN and PLAIN for user "tarn" with password
"s3cret", refuses recipients at "refused.example", appends each message to MAILBOX as the
envelope sender, the recipients and the content, also writes each message's content alone to
MAILBOX.<n>.eml (n from 1), and prints "READY <port>" once listening.
It stops when its standard input closes.
"""
import socket
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Mailbox:
    def __init__(self, path):
        self.path = path
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.endswith("@refused.example"):
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with open(self.path, "ab") as out:
            out.write(b"FROM " + envelope.mail_from.encode() + b"\r\n")
            for rcpt in envelope.rcpt_tos:
                out.write(b"TO " + rcpt.encode() + b"\r\n")
            out.write(b"AUTH " + repr(session.authenticated).encode() + b"\r\n")
            out.write(envelope.original_content)
            out.write(b"\r\n=== END ===\r\n")
        self.count += 1
        with open("%s.%d.eml" % (self.path, self.count), "wb") as out:
            out.write(envelope.original_content)
        return "250 Message accepted for delivery"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login == b"tarn" and auth_data.password == b"s3cret"
    return AuthResult(success=ok, handled=False)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    port = free_port()
    controller = Controller(Mailbox(sys.argv[1]), hostname="127.0.0.1", port=port,
                            authenticator=authenticator, auth_require_tls=False,
                            server_hostname="peer.test")
    controller.start()
    print("READY", port, flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
