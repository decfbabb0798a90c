#!/usr/bin/python3
"""A real SMTP server (aiosmtpd from Debian's archive) on a free loopback
port, for the alarm mail interoperability test.

Usage: smtp_sink.py OUTDIR
Writes OUTDIR/port once it listens. Every message received goes to
OUTDIR/mailN/: mail_from, rcpt_tos (one per line), subject, html and plain
(the decoded parts), raw (the message as received) and, last, done.
Runs until SIGTERM.
"""
import email
import email.policy
import os
import signal
import socket
import sys
import threading

from aiosmtpd.controller import Controller


def write(path, data):
    with open(path, "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode("utf-8"))


class Sink:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        folder = os.path.join(self.outdir, "mail%d" % self.count)
        os.makedirs(folder)
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        write(os.path.join(folder, "mail_from"), envelope.mail_from)
        write(os.path.join(folder, "rcpt_tos"), "".join(r + "\n" for r in envelope.rcpt_tos))
        write(os.path.join(folder, "subject"), str(message["Subject"]))
        write(os.path.join(folder, "from"), str(message["From"]))
        write(os.path.join(folder, "to"), str(message["To"]))
        for part in message.walk():
            if part.get_content_maintype() == "multipart":
                continue
            name = part.get_content_subtype()  # html or plain
            write(os.path.join(folder, name), part.get_payload(decode=True))
        write(os.path.join(folder, "raw"), raw)
        write(os.path.join(folder, "done"), "")
        return "250 Message accepted for delivery"


def main():
    outdir = sys.argv[1]
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    controller = Controller(Sink(outdir), hostname="127.0.0.1", port=port)
    controller.start()
    write(os.path.join(outdir, "port.tmp"), str(port))
    os.rename(os.path.join(outdir, "port.tmp"), os.path.join(outdir, "port"))
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    while not stop.wait(0.2):
        pass
    controller.stop()


if __name__ == "__main__":
    main()
