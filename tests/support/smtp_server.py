#!/usr/bin/python3
"""Real SMTP peer for tests: aiosmtpd on 127.0.0.1, logging what it receives as JSON lines.

Prints "READY <port>" once it listens. Each accepted message and each AUTH
attempt becomes one JSON line in --out. Exits when its standard input closes,
when it reads "quit", or after --lifetime seconds, whichever comes first.
"""
import argparse
import base64
import email
import email.header
import json
import select
import socket
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def decoded_headers(raw):
    """Header fields decoded by Python's own e-mail package, an independent reader."""
    msg = email.message_from_bytes(raw)
    out = {"content_type": msg.get_content_type(), "charset": msg.get_content_charset()}
    for name in ("From", "To", "Subject", "Disposition-Notification-To", "Date", "X-Mailer"):
        value = msg.get(name)
        if value is None:
            continue
        try:
            out[name] = str(email.header.make_header(email.header.decode_header(value)))
        except (LookupError, UnicodeDecodeError) as e:  # a label that does not match its bytes
            out[name] = "UNDECODABLE: %s" % e
    return out


class Recorder:
    def __init__(self, path, user, password):
        self.path = path
        self.user = user
        self.password = password

    def write(self, record):
        with open(self.path, "a", encoding="utf-8") as f:
            f.write(json.dumps(record) + "\n")

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == self.user.encode()
              and auth_data.password == self.password.encode())
        login = auth_data.login.decode("utf-8", "replace") if isinstance(auth_data, LoginPassword) else None
        self.write({"event": "auth", "mechanism": mechanism, "login": login, "ok": ok})
        if ok:
            session.kestrava_auth = mechanism
            return AuthResult(success=True)
        # handled=False: the server then answers the refusal itself
        return AuthResult(success=False, handled=False)

    async def handle_DATA(self, server, session, envelope):
        self.write({
            "event": "message",
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "data_b64": base64.b64encode(envelope.original_content).decode(),
            "helo": session.host_name,
            "esmtp": session.extended_smtp,
            "auth": getattr(session, "kestrava_auth", None),
            "headers": decoded_headers(envelope.original_content),
        })
        return "250 OK"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--user", default="alert")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--no-login", action="store_true", help="offer AUTH PLAIN only")
    ap.add_argument("--lifetime", type=float, default=60.0)
    ap.add_argument("--port", type=int, default=0, help="listen on this port (default: a free one)")
    args = ap.parse_args()
    open(args.out, "w").close()

    recorder = Recorder(args.out, args.user, args.password)
    controller = None
    for _ in range(5):
        port = args.port or free_port()
        try:
            controller = Controller(recorder, hostname="127.0.0.1", port=port,
                                    authenticator=recorder.authenticate, auth_require_tls=False,
                                    auth_exclude_mechanism=["LOGIN"] if args.no_login else None,
                                    ready_timeout=5.0)
            controller.start()
            break
        except Exception:  # the port was taken meanwhile: try another one
            controller = None
    if controller is None:
        print("FAILED", flush=True)
        return 1
    print("READY %d" % port, flush=True)

    end = time.monotonic() + args.lifetime
    while True:
        left = end - time.monotonic()
        if left <= 0:
            break
        readable, _, _ = select.select([sys.stdin], [], [], min(left, 1.0))
        if readable:
            line = sys.stdin.readline()
            if not line or line.strip() == "quit":
                break
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
