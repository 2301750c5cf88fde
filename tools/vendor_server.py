#!/usr/bin/env python3
"""Stand-in for the vendor server that Vantrel talks to: list exchange, banner, update check and
update download, with answers and faults that a test (or a person) sets. Loopback only.

Usage: vendor_server.py [--port N] [--send-answer TEXT] [--get-answer TEXT]
                        [--version-answer TEXT] [--banner FILE] [--update FILE] [--verbose]

The first line on standard output is the port the server listens on (useful with --port 0).
See docs/vendor-server.md for the control interface.
"""

import argparse
import base64
import json
import socket
import sys
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SEND = "/vtr/send.php"
GET = "/vtr/get.php"
BANNER = "/vtr/banner/banner.gif"
CHECK = "/vtr/check_update.php"
UPDATE = "/vtr/update/vantrel.exe"
HELP = "/help/"
NEW_DOMAIN = "/vtr/new_domain.php"

# A 1x1 transparent GIF.
DEFAULT_BANNER = base64.b64decode("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7")

RECORDED_HEADERS = ("Host", "User-Agent", "Accept", "Content-Type", "Content-Length", "Referer",
                    "Cache-Control", "Pragma", "Authorization")

# The send buffer while a huge body goes out (the kernel doubles it).
HUGE_SEND_BUFFER = 32768

FAULTS = ("break", "no_length", "hang", "huge", "garbage")


def page(title):
    return ("<html><head><title>%s</title></head><body><h1>%s</h1></body></html>"
            % (title, title)).encode()


class State:
    """Answers by path and the requests received, shared by all handler threads."""

    def __init__(self):
        self.lock = threading.Lock()
        self.answers = {}
        self.requests = []
        self.closing = threading.Event()

    def set_answer(self, path, answer):
        with self.lock:
            self.answers[path] = answer

    def answer_for(self, path):
        with self.lock:
            return dict(self.answers.get(path, {}))

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)

    def note(self, entry, key, value):
        """Adds a fact learnt while answering to a recorded request."""
        with self.lock:
            entry[key] = value

    def reset(self):
        with self.lock:
            self.answers.clear()
            self.requests.clear()


def default_answer(path, query):
    """What the server says when no test has set an answer for the path."""
    if path == SEND:
        return {"body": ("OK" + query.get("tp", [""])[0]).encode()}
    if path == GET:
        return {"body": b"ads.example.com#tracker.example.net"}
    if path == BANNER:
        return {"body": DEFAULT_BANNER, "content_type": "image/gif"}
    if path == CHECK:
        return {"body": b"NONE"}
    if path == HELP:
        return {"body": page("Vantrel help"), "content_type": "text/html"}
    if path == NEW_DOMAIN:
        return {"body": page("Vantrel: new domain"), "content_type": "text/html"}
    return {"status": 404, "body": b"Not found"}


def answer_from_json(setting):
    """Turns a control request's JSON object into a stored answer."""
    answer = {}
    if "status" in setting:
        answer["status"] = int(setting["status"])
    if "body" in setting:
        answer["body"] = setting["body"].encode("latin-1")
    if "body_base64" in setting:
        answer["body"] = base64.b64decode(setting["body_base64"])
    if "body_file" in setting:
        with open(setting["body_file"], "rb") as f:
            answer["body"] = f.read()
    if "content_type" in setting:
        answer["content_type"] = str(setting["content_type"])
    if "fault" in setting:
        if setting["fault"] not in FAULTS:
            raise ValueError("unknown fault %r" % setting["fault"])
        answer["fault"] = setting["fault"]
    for key in ("announce", "break_after", "size"):
        if key in setting:
            answer[key] = int(setting[key])
    return answer


class Handler(BaseHTTPRequestHandler):
    server_version = "VendorStandIn/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):
        if self.server.verbose:
            sys.stderr.write("vendor-server: " + (format % args) + "\n")

    def do_GET(self):
        self.handle_request()

    def do_POST(self):
        self.handle_request()

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def handle_request(self):
        url = urllib.parse.urlsplit(self.path)
        body = self.read_body()
        if url.path == "/_requests" and self.command == "GET":
            with self.server.state.lock:
                listing = json.dumps(self.server.state.requests).encode()
            return self.send_plain(200, listing, "application/json")
        if url.path == "/_control" and self.command == "POST":
            return self.control(body)
        if url.path == "/_reset" and self.command == "POST":
            self.server.state.reset()
            return self.send_plain(200, b"reset", "text/plain")

        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        entry = {
            "method": self.command,
            "path": url.path,
            "query": url.query,
            "headers": {k: self.headers[k] for k in RECORDED_HEADERS if k in self.headers},
            "body": body.decode("latin-1"),
        }
        self.server.state.record(entry)
        answer = self.server.state.answer_for(url.path) or default_answer(url.path, query)
        self.respond(answer, entry)

    def control(self, body):
        try:
            setting = json.loads(body or b"{}")
            answer = answer_from_json(setting)
            self.server.state.set_answer(str(setting["path"]), answer)
        except (ValueError, KeyError, OSError, TypeError) as error:
            return self.send_plain(400, ("bad control request: %s" % error).encode(), "text/plain")
        self.send_plain(200, b"ok", "text/plain")

    def send_plain(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def respond(self, answer, entry):
        status = answer.get("status", 200)
        body = answer.get("body", b"")
        fault = answer.get("fault")
        content_type = answer.get("content_type", "text/plain")
        try:
            if fault == "garbage":
                self.wfile.write(b"\x00\xffThis is not HTTP at all\r\n\r\n" + bytes(range(256)))
                return
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            if fault == "break":
                self.send_header("Content-Length", str(answer.get("announce", len(body))))
                self.end_headers()
                self.wfile.write(body[:answer.get("break_after", len(body) // 2)])
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
            elif fault == "no_length":
                self.end_headers()
                self.wfile.write(body)
            elif fault == "hang":
                if "announce" in answer:
                    self.send_header("Content-Length", str(answer["announce"]))
                self.end_headers()
                self.wfile.write(body)
                self.wfile.flush()
                # Holds the connection open without sending more, until the server shuts down.
                self.server.state.closing.wait()
            elif fault == "huge":
                size = answer.get("size", 100 * 1024 * 1024)
                if "announce" in answer:
                    self.send_header("Content-Length", str(answer["announce"]))
                self.end_headers()
                self.send_huge(size, entry)
            else:
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client gave up, as it should on a fault

    def send_huge(self, size, entry):
        """Sends `size` bytes and notes in the request how many the client took before it
        closed. The send buffer is kept small, so that the count is what reached the client."""
        self.wfile.flush()
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, HUGE_SEND_BUFFER)
        chunk = b"x" * 16384
        sent = 0
        try:
            while sent < size and not self.server.state.closing.is_set():
                piece = chunk[:min(len(chunk), size - sent)]
                self.connection.sendall(piece)
                sent += len(piece)
        finally:
            self.server.state.note(entry, "sent", sent)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description="Vendor server stand-in (127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=0, help="port to listen on; 0 picks a free one")
    parser.add_argument("--send-answer", help="body answered to every " + SEND)
    parser.add_argument("--get-answer", help="body answered to " + GET)
    parser.add_argument("--version-answer", help="body answered to " + CHECK + " (default NONE)")
    parser.add_argument("--banner", help="file served as " + BANNER)
    parser.add_argument("--update", help="file served as " + UPDATE)
    parser.add_argument("--verbose", action="store_true", help="log each request to stderr")
    args = parser.parse_args()

    state = State()
    for path, text in ((SEND, args.send_answer), (GET, args.get_answer),
                       (CHECK, args.version_answer)):
        if text is not None:
            state.set_answer(path, {"body": text.encode("latin-1")})
    for path, name, content_type in ((BANNER, args.banner, "image/gif"),
                                     (UPDATE, args.update, "application/octet-stream")):
        if name is not None:
            with open(name, "rb") as f:
                state.set_answer(path, {"body": f.read(), "content_type": content_type})

    server = Server(("127.0.0.1", args.port), Handler)
    server.state = state
    server.verbose = args.verbose
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        state.closing.set()
        server.server_close()


if __name__ == "__main__":
    main()
