#!/usr/bin/env python3
"""A fake WebLogic admin server: the RESTful management resources corvane-agent
reads, behind HTTP Basic authentication, with only fields Oracle documents, in
documented shapes. From Oracle's RESTful Domain Runtime Reference and RESTful
Domain Configuration Reference for WebLogic Server 12.2.1.4 and 14.1.1:
- "View This Server Runtime Collection" and the example "Verify that the
  Managed Servers are Running": serverRuntimes?links=none&fields=name,state ->
  {"items": [{"state": "RUNNING", "name": "AdminServer"}, ...]}; links=none
  drops the links, fields= keeps the named fields.
- "Monitor Servers": a health state is an object {"state": "ok",
  "subsystemName": null, "partitionName": null, "symptoms": []}.
- "View Servers and their Listen Port": domainConfig/servers?fields=name,listenPort
  -> {"items": [{"name": "AdminServer", "listenPort": 7001}, ...]}.
- Field names are the MBean Reference's attributes with a lower-case first
  letter (ServerRuntimeMBean, JVMRuntimeMBean incl. threadStackDump,
  ThreadPoolRuntimeMBean, JDBCDataSourceRuntimeMBean, DomainMBean, ServerMBean).
Assumed, to verify on a live domain: the runtime listenAddress "host/ip",
health states other than "ok", the JDBC state "Running", throughput with a
fraction, and the bodies of 401 and 404 answers.

The password comes from the environment (FAKE_WLS_PASSWORD), never the command
line; --stats FILE records whether it ever showed in a request line, a header
other than Authorization, or any process's command line. Prints its port alone
on the first line, then serves until killed.
"""
import argparse
import base64
import json
import os
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

BASE = "/management/weblogic/latest"
POOL_NAMES = ["OrderDS", "CustomerDS", "BillingDS", "AuditDS"]


class Domain:
    def __init__(self, args):
        self.args = args
        self.names = ["AdminServer"] + ["ManagedServer_%d" % i for i in range(1, args.servers)]
        self.down = set(args.down)
        self.boot = 1700000000000

    def config_server(self, name):
        i = self.names.index(name)
        return {"name": name, "listenAddress": "wls-%d.example" % i, "listenPort": 7001 + i}

    def runtime(self, name):
        i = self.names.index(name)
        return {"name": name, "state": "RUNNING",
                "healthState": {"state": "ok", "subsystemName": None, "partitionName": None,
                                "symptoms": []},
                "listenAddress": "wls-%d.example/127.0.0.%d" % (i, 10 + i),
                "listenPort": 7001 + i, "activationTime": self.boot + i * 60000,
                "weblogicVersion": "WebLogic Server 14.1.1.0.0", "openSocketsCurrentCount": 3 + i}

    def jvm(self, name):
        i = self.names.index(name)
        heap_max = (512 if i == 0 else 1024) * 1048576
        free_percent = 60 - 5 * (i % 8)
        out = {"heapFreeCurrent": heap_max * free_percent // 100, "heapSizeCurrent": heap_max * 3 // 4,
               "heapSizeMax": heap_max, "heapFreePercent": free_percent,
               "javaVendor": "Oracle Corporation", "javaVersion": "11.0.21",
               "javaVMVendor": "Oracle Corporation", "OSName": "Linux", "OSVersion": "5.15.0",
               "threadStackDump": '"[ACTIVE] ExecuteThread: \'0\' for queue: \'weblogic.kernel.Default\'"'
                                  ' of %s\n   java.lang.Thread.State: RUNNABLE\n' % name}
        if self.args.missing_fields:
            del out["heapFreePercent"]
        return out

    def threads(self, name):
        i = self.names.index(name)
        out = {"executeThreadIdleCount": 20 - i, "executeThreadTotalCount": 25,
               "completedRequestCount": 1000 * (i + 1), "pendingUserRequestCount": 0,
               "queueLength": i % 3, "standbyThreadCount": 5, "throughput": 12.5 + i}
        if self.args.missing_fields:
            out["executeThreadTotalCount"] = "25"  # a wrong type
        return out

    def pools(self, name):
        i = self.names.index(name)
        items = []
        for p in range(self.args.pools):
            capacity = 10 + p
            # The last managed server's first pool has no free connection left.
            active = capacity if (i == len(self.names) - 1 and i > 0 and p == 0) else p + 1
            items.append({"name": POOL_NAMES[p % len(POOL_NAMES)] + ("" if p < 4 else str(p)),
                          "state": "Running", "activeConnectionsCurrentCount": active,
                          "activeConnectionsHighCount": active + 1, "currCapacity": capacity,
                          "leakedConnectionCount": 0})
        return items

    def domain_config(self):
        return {"name": "base_domain", "domainVersion": "14.1.1.0.0",
                "adminServerName": "AdminServer", "productionModeEnabled": True,
                "rootDirectory": "/u01/domains/base_domain"}


class Stats:
    def __init__(self, path, password):
        self.path = path
        self.password = password
        self.lock = threading.Lock()
        self.data = {"requests": 0, "unauthorized": 0, "password_in_request": 0,
                     "password_in_cmdline": []}

    def note(self, **changes):
        with self.lock:
            for key, value in changes.items():
                if isinstance(self.data[key], list):
                    if value not in self.data[key]:
                        self.data[key].append(value)
                else:
                    self.data[key] += value
            if self.path:
                tmp = self.path + ".tmp"
                with open(tmp, "w") as f:
                    json.dump(self.data, f)
                os.replace(tmp, self.path)

    def scan_cmdlines(self):
        needle = self.password.encode()
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    if needle in f.read():
                        self.note(password_in_cmdline=int(pid))
            except OSError:
                pass


def select(obj, query):
    fields = query.get("fields")
    if fields:
        wanted = fields[0].split(",")
        obj = {k: v for k, v in obj.items() if k in wanted}
    if query.get("links", [""])[0] != "none":
        obj = dict(obj, links=[{"rel": "self", "href": "http://localhost" + BASE}])
    return obj


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # headers and body go in two writes

    def log_message(self, fmt, *args):
        pass

    def answer(self, status, body, content_type="application/json", extra=()):
        data = body.encode() if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        server = self.server
        args, domain, stats = server.args, server.domain, server.stats
        stats.note(requests=1)
        secret = stats.password
        headers = [v for k, v in self.headers.items() if k.lower() != "authorization"]
        if secret in self.requestline or any(secret in v for v in headers):
            stats.note(password_in_request=1)
        url = urllib.parse.urlsplit(self.path)
        path, query = urllib.parse.unquote(url.path), urllib.parse.parse_qs(url.query)
        if args.hang:
            time.sleep(60)
            return
        if args.rest_off:
            self.answer(404, "<html><body>Error 404--Not Found</body></html>", "text/html")
            return
        expected = "Basic " + base64.b64encode(("%s:%s" % (server.user, secret)).encode()).decode()
        if self.headers.get("Authorization") != expected:
            stats.note(unauthorized=1)
            self.answer(401, "<html><body>Unauthorized</body></html>", "text/html",
                        [("WWW-Authenticate", 'Basic realm="weblogic"')])
            return
        body = self.route(path, query, domain, stats)
        if body is None:
            self.answer(404, json.dumps({"status": 404, "detail": "Not Found"}))
            return
        text = json.dumps(body)
        if args.huge and path.endswith("/serverRuntimes"):
            text = text[:-1] + ', "padding": "' + "x" * (1 << 20) + '"}'
        self.answer(200, text)

    def route(self, path, query, domain, stats):
        running = [n for n in domain.names if n not in domain.down]
        if path == BASE + "/domainConfig":
            return select(domain.domain_config(), query)
        if path == BASE + "/domainConfig/servers":
            return {"items": [select(domain.config_server(n), query) for n in domain.names]}
        prefix = BASE + "/domainRuntime/serverRuntimes"
        if path == prefix:
            stats.scan_cmdlines()
            return {"items": [select(domain.runtime(n), query) for n in running]}
        if not path.startswith(prefix + "/"):
            return None
        parts = path[len(prefix) + 1:].split("/")
        if parts[0] not in running:
            return None
        name, rest = parts[0], "/".join(parts[1:])
        delay = self.server.slow.get(name)
        if delay and rest == "JVMRuntime":
            time.sleep(delay / 1000.0)
        if rest == "":
            return select(domain.runtime(name), query)
        if rest == "JVMRuntime":
            return select(domain.jvm(name), query)
        if rest == "threadPoolRuntime":
            return select(domain.threads(name), query)
        if rest == "JDBCServiceRuntime/JDBCDataSourceRuntimeMBeans":
            return {"items": [select(p, query) for p in domain.pools(name)]}
        return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--servers", type=int, default=3)
    parser.add_argument("--pools", type=int, default=2)
    parser.add_argument("--down", action="append", default=[])
    parser.add_argument("--slow", action="append", default=[], help="NAME:MS for its JVMRuntime")
    parser.add_argument("--hang", action="store_true")
    parser.add_argument("--rest-off", action="store_true")
    parser.add_argument("--missing-fields", action="store_true")
    parser.add_argument("--huge", action="store_true")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--stats")
    args = parser.parse_args()

    password = os.environ.get("FAKE_WLS_PASSWORD")
    if not password:
        sys.exit("fake_wls.py: FAKE_WLS_PASSWORD is not set")
    ThreadingHTTPServer.request_queue_size = 128  # several agents' connections at once
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.args = args
    server.domain = Domain(args)
    server.user = os.environ.get("FAKE_WLS_USER", "weblogic")
    server.stats = Stats(args.stats, password)
    server.slow = {s.split(":")[0]: int(s.split(":")[1]) for s in args.slow}
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    server.stats.note(requests=0)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
