#!/usr/bin/env python3
"""A small HTTP proxy on the loopback for tests of the program behind a proxy.

    python3 connect_proxy.py --port 0 --port-file PATH [--log PATH]
                             [--mode pass|auth] [--realm TEXT]
                             [--schemes Basic,NTLM,Negotiate]

Modes:
    pass  tunnels "CONNECT host:port" to the target and forwards requests in
          absolute form ("POST http://host:port/path"), one per connection.
          Only loopback targets are reached; others get 403.
    auth  answers every proxied request with 407 Proxy Authentication Required,
          offering each scheme of --schemes in its own Proxy-Authenticate
          header (Basic with realm="--realm"). It never accepts a login.

Every proxied request is logged (method, target, the scheme of any
Proxy-Authorization it carried, never the credentials, and the status given)
as one JSON line in --log and in memory. Requests in origin form are for the
proxy itself:
    GET  /log        the log as a JSON array
    GET  /status     {"mode", "requests", "tunnels"}
    POST /reset-log  clears the log and the counts
Standard library only.
"""

import argparse
import json
import os
import select
import signal
import socket
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOOPBACK_HOSTS = ("localhost", "127.0.0.1", "::1")
HOP_BY_HOP = ("connection", "keep-alive", "proxy-connection", "proxy-authorization", "proxy-authenticate",
              "te", "trailer", "upgrade")


class ProxyLog:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.entries = []
        self.tunnels = 0
        self.file = open(path, "a", encoding="utf-8") if path else None

    def add(self, entry):
        with self.lock:
            entry = dict(seq=len(self.entries) + 1, **entry)
            self.entries.append(entry)
            if self.file:
                self.file.write(json.dumps(entry) + "\n")
                self.file.flush()

    def tunnel_opened(self):
        with self.lock:
            self.tunnels += 1

    def clear(self):
        with self.lock:
            cleared, self.entries, self.tunnels = len(self.entries), [], 0
            if self.file:
                self.file.truncate(0)
                self.file.flush()
            return cleared

    def snapshot(self):
        with self.lock:
            return list(self.entries), self.tunnels


class ProxyHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TindrelTestProxy/1.0"
    sys_version = ""

    def log_message(self, fmt, *args):
        pass

    def log_request_entry(self, status):
        auth = self.headers.get("Proxy-Authorization")
        self.server.log.add({"method": self.command, "target": self.path, "status": status,
                             "proxyAuthorization": auth.split()[0] if auth and auth.split() else None})

    def reply(self, status, body=b"", ctype="text/plain; charset=utf-8", extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def demand_login(self):
        self.log_request_entry(407)
        offers = [("Proxy-Authenticate", 'Basic realm="%s"' % self.server.realm if s.lower() == "basic" else s)
                  for s in self.server.schemes]
        body = b"<html><body><h1>407 Proxy Authentication Required</h1></body></html>"
        # Read any body so that the connection stays usable for a retry with credentials.
        self.rfile.read(int(self.headers.get("Content-Length") or 0))
        self.reply(407, body, "text/html", offers)

    def own_request(self):
        path = self.path.split("?")[0]
        entries, tunnels = self.server.log.snapshot()
        if self.command == "GET" and path == "/log":
            payload = entries
        elif self.command == "GET" and path == "/status":
            payload = {"mode": self.server.mode, "requests": len(entries), "tunnels": tunnels}
        elif self.command == "POST" and path == "/reset-log":
            self.rfile.read(int(self.headers.get("Content-Length") or 0))
            payload = {"cleared": self.server.log.clear()}
        else:
            self.reply(404, b"not a proxy request\n")
            return
        self.reply(200, json.dumps(payload).encode(), "application/json")

    def do_CONNECT(self):
        if self.server.mode == "auth":
            self.demand_login()
            return
        host, _, port = self.path.rpartition(":")
        host = host.strip("[]")
        if host not in LOOPBACK_HOSTS or not port.isdigit():
            self.log_request_entry(403)
            self.reply(403, b"only loopback targets\n")
            return
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
        except OSError:
            self.log_request_entry(502)
            self.reply(502, b"cannot reach the target\n")
            return
        self.log_request_entry(200)
        self.server.log.tunnel_opened()
        self.send_response(200, "Connection Established")
        self.end_headers()
        self.wfile.flush()
        self.close_connection = True
        with upstream:
            self.relay(self.connection, upstream)

    @staticmethod
    def relay(a, b):
        """Copy bytes both ways until either side closes."""
        a.settimeout(None)
        b.settimeout(None)
        peers = {a: b, b: a}
        while True:
            readable, _, _ = select.select(list(peers), [], [], 300)
            if not readable:
                return
            for sock in readable:
                try:
                    data = sock.recv(65536)
                    if not data:
                        return
                    peers[sock].sendall(data)
                except OSError:
                    return

    def forward(self):
        if not self.path.lower().startswith("http://"):
            self.own_request()
            return
        if self.server.mode == "auth":
            self.demand_login()
            return
        url = urllib.parse.urlsplit(self.path)
        if url.hostname not in LOOPBACK_HOSTS:
            self.log_request_entry(403)
            self.reply(403, b"only loopback targets\n")
            return
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        lines = ["%s %s HTTP/1.1" % (self.command, (url.path or "/") + ("?" + url.query if url.query else ""))]
        lines += ["%s: %s" % (k, v) for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP]
        lines.append("Connection: close")
        try:
            upstream = socket.create_connection((url.hostname, url.port or 80), timeout=30)
        except OSError:
            self.log_request_entry(502)
            self.reply(502, b"cannot reach the target\n")
            return
        self.log_request_entry(None)
        self.close_connection = True
        with upstream:
            upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body)
            # The answer goes back as it comes, and the end of it is the
            # target closing ("Connection: close" above), so this connection ends too.
            self.wfile.flush()
            while True:
                data = upstream.recv(65536)
                if not data:
                    break
                self.connection.sendall(data)

    do_GET = do_POST = do_PUT = do_HEAD = do_DELETE = do_OPTIONS = forward


class ProxyServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, mode, log, realm="Tindrel test proxy", schemes=("Basic",)):
        super().__init__(("127.0.0.1", port), ProxyHandler)
        self.mode, self.log, self.realm, self.schemes = mode, log, realm, tuple(schemes)

    def handle_error(self, request, client_address):
        pass


def main(argv=None):
    ap = argparse.ArgumentParser(description="Loopback HTTP proxy for tests (CONNECT tunnels or 407).")
    ap.add_argument("--port", type=int, default=0, help="TCP port on 127.0.0.1; 0 picks a free one")
    ap.add_argument("--port-file", help="write the port number here once listening")
    ap.add_argument("--log", help="append one JSON line per proxied request to this file")
    ap.add_argument("--mode", choices=("pass", "auth"), default="pass")
    ap.add_argument("--realm", default="Tindrel test proxy", help="realm of the Basic challenge in mode auth")
    ap.add_argument("--schemes", default="Basic",
                    help="comma-separated schemes mode auth offers, e.g. Basic,NTLM,Negotiate")
    args = ap.parse_args(argv)

    server = ProxyServer(args.port, args.mode, ProxyLog(args.log), args.realm,
                         [s.strip() for s in args.schemes.split(",") if s.strip()])
    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    print(port, flush=True)
    while not stop.wait(0.5):
        pass
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
