#!/usr/bin/python3
"""Real SMTP servers (aiosmtpd from Debian's archive) on free loopback ports,
for the mail tests and the benchmark.

Usage: smtp_sink.py OUTDIR [--tls CERT KEY] [--login USER:PASSWORD] [--bare]

Servers, one port each, written to OUTDIR/ports as "name port" lines (and the
plain one's port alone to OUTDIR/port) once all listen:
  plain     no TLS and no login; a two-line greeting; answers 550 to any
            recipient whose address holds "refused" and 451 to the first
            RCPT of an address holding "greylisted"
  starttls  (with --tls) requires STARTTLS first, then a login (--login)
  implicit  (with --tls) TLS from the first byte, then a login (--login)

Every message received goes to OUTDIR/mailN/: mail_from, rcpt_tos (one per
line), subject, from, to, html and plain (the decoded parts), raw (the data
as received, dot-stuffing undone), ehlo (the name the client greeted with),
login (the user that logged in, empty when none), tls ("yes" or "no") and,
last, done; with --bare only done (timings: parsing and writing the parts
would cost more than the dialogue). Runs until SIGTERM.
"""
import argparse
import email
import email.policy
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult


def write(path, data):
    with open(path, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def free_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


class Sink:
    def __init__(self, outdir, bare):
        self.outdir = outdir
        self.bare = bare
        self.count = 0
        self.lock = threading.Lock()
        self.greylisted = set()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if "refused" in address:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        if "greylisted" in address and address not in self.greylisted:
            self.greylisted.add(address)
            return "451 4.7.1 <%s>: Greylisted, try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.count += 1
            folder = os.path.join(self.outdir, "mail%d" % self.count)
        os.makedirs(folder)
        if self.bare:
            write(os.path.join(folder, "done"), "")
            return "250 Message accepted for delivery"
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        encrypted = session.ssl or server.transport.get_extra_info("ssl_object")
        parts = {"mail_from": envelope.mail_from, "raw": raw,
                 "rcpt_tos": "".join(r + "\n" for r in envelope.rcpt_tos),
                 "subject": str(message["Subject"]), "from": str(message["From"]),
                 "to": str(message["To"]), "ehlo": session.host_name or "",
                 "login": getattr(session.auth_data, "login", b""),
                 "tls": "yes" if encrypted else "no"}
        for part in message.walk():
            if part.get_content_maintype() != "multipart":  # html or plain
                parts[part.get_content_subtype()] = part.get_payload(decode=True)
        for name, data in parts.items():
            write(os.path.join(folder, name), data)
        write(os.path.join(folder, "done"), "")
        return "250 Message accepted for delivery"


class TwoLineGreeting(SMTP):
    """Greets with a continuation line before the usual one."""

    async def push(self, status):
        if isinstance(status, str) and status.startswith("220 ") and not getattr(
            self, "_greeted", False
        ):
            self._greeted = True
            status = "220-loopback.test ESMTP, a greeting\r\n220-of three\r\n" + status
        await super().push(status)


class PlainController(Controller):
    def factory(self):
        return TwoLineGreeting(self.handler, **self.SMTP_kwargs)


def checker(login):
    user, _, password = login.partition(":")

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    return authenticate


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--login")
    parser.add_argument("--bare", action="store_true")
    args = parser.parse_args()
    outdir, login = args.outdir, args.login

    handler = Sink(outdir, args.bare)
    controllers = [("plain", PlainController(handler, hostname="127.0.0.1", port=free_port()))]
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*args.tls)
        auth = {"authenticator": checker(login), "auth_required": True} if login else {}
        controllers.append(("starttls", Controller(
            handler, hostname="127.0.0.1", port=free_port(), tls_context=context,
            require_starttls=True, **auth)))
        controllers.append(("implicit", Controller(
            handler, hostname="127.0.0.1", port=free_port(), ssl_context=context,
            auth_require_tls=False, **auth)))
    for _, controller in controllers:
        controller.start()

    ports = "".join("%s %d\n" % (name, c.port) for name, c in controllers)
    write(os.path.join(outdir, "ports.tmp"), ports)
    os.rename(os.path.join(outdir, "ports.tmp"), os.path.join(outdir, "ports"))
    write(os.path.join(outdir, "port.tmp"), str(controllers[0][1].port))
    os.rename(os.path.join(outdir, "port.tmp"), os.path.join(outdir, "port"))

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    while not stop.wait(0.2):
        pass
    for _, controller in controllers:
        controller.stop()


if __name__ == "__main__":
    main()
