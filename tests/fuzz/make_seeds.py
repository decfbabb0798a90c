#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/.

The reports and wire streams are what our own stand-in agent sends
(corvane-agent-sim, small synthetic domains, fixed seeds and clock); the SMTP
seeds are short server dialogues encoded the way fuzz_smtp_reply reads its
input. Run it again only when the agent's documents change:

    tests/fuzz/make_seeds.py build/bin/corvane-agent-sim
"""
import os
import pathlib
import socket
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"
EPOCH = "1767225600"  # a fixed clock: the documents come out the same every time


class Agent:
    def __init__(self, sim, *args):
        self.proc = subprocess.Popen([sim, *args, "--epoch", EPOCH], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True)
        port = int(self.proc.stdout.readline())
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.sendall(b"[")
        assert self.read(1) == b"\\", "handshake"

    def read(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                break
            data += chunk
        return data

    def read_all(self):
        """Everything until the agent closes or falls silent."""
        data = b""
        self.sock.settimeout(1.0)
        try:
            while chunk := self.sock.recv(65536):
                data += chunk
        except (socket.timeout, ConnectionResetError):
            pass
        return data

    def send(self, command, payload=b""):
        frame = command + (b"%8d" % len(payload) + payload if payload else b"")
        self.sock.sendall(frame)

    def exchange(self, command, payload=b""):
        """(wire bytes of the reply, body)"""
        self.send(command, payload)
        field = self.read(9)
        body = self.read(int(field))
        return field + body, body

    def close(self):
        self.sock.close()
        self.proc.terminate()
        self.proc.wait()


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


REQUEST_V10 = (b'<?xml version="1.0" encoding="UTF-8" ?><wlsagent><MBean name="ThreadPoolRuntime"/>'
               b'</wlsagent>')
REQUEST_V8 = (b'<?xml version="1.0" encoding="UTF-8" ?><wlsagent><MBean name="ExecuteQueueRuntime"/>'
              b'</wlsagent>')
DUMP_REQUEST = (b'<?xml version="1.0" encoding="UTF-8" ?><wlsagent><Server name="ms1" '
                b'url="10.0.0.7" port="7003" dumpCount="2" /></wlsagent>')


def tuxedo(sim):
    small = ["--tuxedo", "--servers", "5", "--queues", "3", "--clients", "3"]
    agent = Agent(sim, *small)
    start_wire, start = agent.exchange(b"^")
    poll_wire, poll = agent.exchange(b"]")
    agent.close()
    write("fuzz_tux_report", "start.xml", start)
    write("fuzz_tux_report", "poll.xml", poll)
    write("fuzz_agent_reply", "tux_start_and_poll", start_wire + poll_wire)

    agent = Agent(sim, *small, "--seed", "7", "--error", "TMS_QM down")
    _, error = agent.exchange(b"^")
    agent.close()
    write("fuzz_tux_report", "error.xml", error)


def weblogic(sim):
    small = ["--weblogic", "--servers", "2", "--pools", "1"]
    for version, request in (("10", REQUEST_V10), ("8", REQUEST_V8)):
        agent = Agent(sim, *small, "--version", version)
        start_wire, start = agent.exchange(b"^", request)
        poll_wire, poll = agent.exchange(b"]")
        dump_wire, dump = agent.exchange(b"a", DUMP_REQUEST)
        agent.close()
        write("fuzz_wls_report", f"v{version}_start.xml", start)
        write("fuzz_wls_report", f"v{version}_poll.xml", poll)
        write("fuzz_wls_report", f"v{version}_dump_answer.xml", dump)
        write("fuzz_agent_reply", f"wls{version}_start_poll_dump", start_wire + poll_wire + dump_wire)

    agent = Agent(sim, *small, "--error", "Admin server unreachable")
    _, error = agent.exchange(b"^", REQUEST_V10)
    agent.close()
    write("fuzz_wls_report", "v10_error.xml", error)


def faults(sim):
    """Wire streams of the agent's reply faults, as they arrive."""
    tiny = ["--tuxedo", "--servers", "1", "--queues", "1", "--clients", "1"]
    for name, flags in (("bad_length_nonnumeric", ["--bad-length", "nonnumeric"]),
                        ("bad_length_negative", ["--bad-length", "negative"]),
                        ("bad_length_huge", ["--bad-length", "huge"]),
                        ("close_mid_reply", ["--close-mid-reply"])):
        agent = Agent(sim, *tiny, "--fault-after", "1", *flags)
        good, _ = agent.exchange(b"^")
        agent.send(b"]")
        write("fuzz_agent_reply", name, good + agent.read_all())
        agent.close()
    write("fuzz_agent_reply", "empty_reply", b"        0" + b"        0")


# --- SMTP: fuzz_smtp_reply reads (event, packet) steps through libFuzzer's
# FuzzedDataProvider: integers from the end of the input, bytes from the front.
PACKET, EXPIRE, LOST, CONNECTED = 0, 7, 8, 9


def smtp_seed(steps):
    front, back = b"", []
    for step in steps:
        if isinstance(step, bytes):
            back.append(bytes([PACKET]))
            # ConsumeIntegralInRange(1, 512) takes two bytes, high one first.
            n = len(step) - 1
            back.append(bytes([n >> 8, n & 0xFF]))
            front += step
        else:
            back.append(bytes([step]))
    # The provider reads the tail backwards: lay it out reversed.
    return front + b"".join(back)[::-1]


def smtp():
    delivered = [b"220 mail.example.com ESMTP\r\n", b"250 hello\r\n", b"250 sender ok\r\n",
                 b"250 ok\r\n", b"250 ok\r\n", b"250 ok\r\n", b"354 go ahead\r\n",
                 b"250 queued\r\n", b"221 bye\r\n"]
    write("fuzz_smtp_reply", "delivered", smtp_seed(delivered))
    # The same replies cut at odd places, and multi-line replies.
    whole = b"".join(delivered)
    write("fuzz_smtp_reply", "delivered_in_pieces",
          smtp_seed([whole[i:i + 7] for i in range(0, len(whole), 7)]))
    write("fuzz_smtp_reply", "multiline",
          smtp_seed([b"220-mail.example.com\r\n220-welcome\r\n220 ESMTP\r\n",
                     b"250-hello\r\n250 SIZE 1000\r\n", b"250 ok\r\n"]))
    # A busy server, the retry wait, then a refused recipient and a refused message.
    write("fuzz_smtp_reply", "busy_then_refused",
          smtp_seed([b"421 busy\r\n", b"221 bye\r\n", EXPIRE, CONNECTED,
                     b"220 ready\r\n", b"250 hello\r\n", b"250 ok\r\n", b"550 no such user\r\n",
                     b"452 mailbox full\r\n", b"250 ok\r\n", b"354 go\r\n", b"554 spam\r\n",
                     b"221 bye\r\n"]))
    # STARTTLS, greeting again and logging in; and a login refused in the clear.
    write("fuzz_smtp_reply", "starttls_login",
          smtp_seed([b"220 ready\r\n", b"250-hi\r\n250-AUTH PLAIN\r\n250 STARTTLS\r\n",
                     b"220 go ahead\r\n", b"250-hi\r\n250 AUTH LOGIN\r\n",
                     b"334 VXNlcm5hbWU6\r\n", b"334 UGFzc3dvcmQ6\r\n", b"235 ok\r\n",
                     b"250 ok\r\n", b"451 greylisted\r\n", b"221 bye\r\n"]))
    write("fuzz_smtp_reply", "login_refused_in_the_clear",
          smtp_seed([b"220 ready\r\n", b"502 no EHLO\r\n", b"250 hello\r\n",
                     b"530 authentication required\r\n", b"221 bye\r\n"]))
    # Silence and a lost connection in the middle of the dialogue.
    write("fuzz_smtp_reply", "timeouts_and_loss",
          smtp_seed([EXPIRE, CONNECTED, b"220 ready\r\n", EXPIRE, b"221 bye\r\n", EXPIRE,
                     CONNECTED, b"220 ready\r\n", b"250 hello\r\n", LOST, EXPIRE, CONNECTED]))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sim = os.path.abspath(sys.argv[1])
    tuxedo(sim)
    weblogic(sim)
    faults(sim)
    smtp()


if __name__ == "__main__":
    main()
