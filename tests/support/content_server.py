#!/usr/bin/env python3
"""A local stand-in for every web server the programs talk to.

It answers as an HTTP proxy (WinINet and the browser control send every request to it once
http_proxy names it), so one server plays every host. What it answers comes from a JSON file of
rules keyed by "host/path" (exact), then "host" (any path), then "*":

    {"status": 200, "location": "http://host.example/", "delay": 2.0, "silent": true,
     "body_file": "/path", "body": "text", "short_by": 100, "endless": true, "unannounced": true,
     "hold": 3.0}

status: the status code (default 200); location: a Location header; delay: seconds before the
answer; silent: accept and never answer; body/body_file: the body; short_by: announce that many
bytes more than are sent, then close; endless: announce a huge body and keep sending (with
unannounced: no Content-Length at all); hold: send half the body, wait that many seconds, then
send the rest. A host
with no rule gets 404. Every request is logged as one line "METHOD URL AGENT" (tab-separated)
to the log file, flushed at once.

Usage: content_server.py RULES.json LOG PORTFILE   (listens on 127.0.0.1, port 0; the port
chosen is written to PORTFILE once the server listens)
"""
import json
import socket
import socketserver
import sys
import threading
import time
from urllib.parse import urlsplit

rules = {}
log_lock = threading.Lock()
log_path = ""


def rule_for(host, path):
    return rules.get(host + path) or rules.get(host) or rules.get("*")


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        try:
            line = self.rfile.readline(65536).decode("latin-1").strip()
            if not line:
                return
            method, target, _ = (line.split(" ") + ["", ""])[:3]
            headers = {}
            while True:
                h = self.rfile.readline(65536).decode("latin-1")
                if h in ("\r\n", "\n", ""):
                    break
                name, _, value = h.partition(":")
                headers[name.strip().lower()] = value.strip()
            parts = urlsplit(target)
            host = parts.hostname or headers.get("host", "")
            path = parts.path or "/"
            if not parts.scheme:
                path = target
                target = "http://" + host + target
            elif parts.port == 80:
                # WinINet names the default port to a proxy; the log shows the address as asked.
                target = target.replace(f"{host}:80", host, 1)
            with log_lock, open(log_path, "a", encoding="utf-8") as log:
                log.write(f"{method}\t{target}\t{headers.get('user-agent', '')}\n")
            self.answer(rule_for(host, path))
        except (ConnectionError, OSError):
            pass

    def answer(self, rule):
        if rule is None:
            rule = {"status": 404, "body": "not here"}
        if rule.get("silent"):
            time.sleep(600)
            return
        if rule.get("delay"):
            time.sleep(float(rule["delay"]))
        status = int(rule.get("status", 200))
        body = rule.get("body", "").encode("utf-8")
        if rule.get("body_file"):
            with open(rule["body_file"], "rb") as f:
                body = f.read()
        head = [f"HTTP/1.1 {status} Status {status}", "Content-Type: text/html", "Connection: close"]
        if rule.get("location"):
            head.append("Location: " + rule["location"])
        if rule.get("endless"):
            if not rule.get("unannounced"):
                head.append("Content-Length: 4000000000")
            self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
            chunk = b"x" * 65536
            deadline = time.time() + 600
            while time.time() < deadline:
                self.wfile.write(chunk)
            return
        announced = len(body) + int(rule.get("short_by", 0))
        head.append(f"Content-Length: {announced}")
        head_bytes = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        if rule.get("hold"):
            half = len(body) // 2
            self.wfile.write(head_bytes + body[:half])
            self.wfile.flush()
            time.sleep(float(rule["hold"]))
            self.wfile.write(body[half:])
        else:
            self.wfile.write(head_bytes + body)
        self.wfile.flush()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global rules, log_path
    rules_path, log_path, port_path = sys.argv[1:4]
    with open(rules_path, encoding="utf-8") as f:
        rules = json.load(f)
    open(log_path, "w").close()
    server = Server(("127.0.0.1", 0), Handler)
    with open(port_path + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    import os
    os.replace(port_path + ".tmp", port_path)
    server.serve_forever()


if __name__ == "__main__":
    main()
