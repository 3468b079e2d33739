#!/usr/bin/env python3
"""A hostile stand-in for the central backup web service, on loopback only.

The plan file says how each of the three exchanges of a poll is answered,
and is read again at every request so a driver can change it between polls:

    {"wsdl": "valid", "TestaConexao": "ok", "BuscaSolic": "doctype"}

Answers that any exchange can get:
    valid      the true WSDL document, or for a call its ordinary answer
               (the "ok", "quiet", "other" and "request" modes below)
    hang       the request is read and never answered
    drip       a true answer, one byte a second
    huge       a 100 MB body (as announced by Content-Length)
    reset      half a true answer, then a connection reset
    html       200 with text/html
    redirect   302 to another port on the same loopback address
    fault      500 with a SOAP fault
    malformed  an envelope naming this company whose tags do not match
    doctype    a DOCTYPE whose entities expand to gigabytes (billion laughs)
    headdrip   the status line, then one header line a second, never ending
    headflood  the status line, then header lines as fast as they go
    nodebomb   8 MB of empty elements inside the document or answer
Only for the WSDL: "empty" (200 with 0 bytes), "noport" (the service has
no port), "importstorm" (no port, and 100 imports of this server that
answer 404, as "import" says), "importbomb" (no port, and 4 imports that
are node bombs). Only for calls: "ok" ("OK"), "quiet" (""), "other" (a
request for another company), "request" (a request for this company).
The plan's "import" key says how "/import/..." answers: "missing" (404,
the default), "hang" or "nodebomb".

Every request is logged as two JSON lines, "begin" when its headers and
body are read and "end" when the server is done with it, with how it
ended: "answered", "client closed" (the client gave up first), "reset" or
"held" (a hang or drip the client never ended, released by the server).
A listener on the port after --port records any request the redirection
draws, which the service must not follow.
"""
import argparse
import itertools
import json
import re
import select
import signal
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

from central_server import ENVELOPE, NAMESPACE, WSDL_PATH, wsdl

COMPANY_REQUEST = "17|12.345.678/0001-90|S1|10/12/2026"
OTHER_REQUEST = "18|98.765.432/0001-10|S1|10/12/2026"
CALL_ANSWERS = {"ok": "OK", "quiet": "", "other": OTHER_REQUEST, "request": COMPANY_REQUEST}
HUGE = 100 * 1000 * 1000
# A client that never gives up must not hold a server thread for ever.
HOLD_LIMIT = 120.0

stopping = threading.Event()


def call_answer(operation, text):
    return ENVELOPE.format(f'<NS1:{operation}Response xmlns:NS1="{NAMESPACE}">'
                           f'<return xsi:type="xsd:string">{escape(text)}</return></NS1:{operation}Response>')


def without_port(document):
    return re.sub(r"<port .*?</port>", "", document, flags=re.S)


def billion_laughs(operation):
    entities = ['<!ENTITY lol "lol">'] + [
        f'<!ENTITY lol{i} "{("&lol" + (str(i - 1) if i > 1 else "") + ";") * 10}">' for i in range(1, 10)]
    body = call_answer(operation, COMPANY_REQUEST).replace("</return>", "&lol9;</return>")
    head, rest = body.split("\n", 1)
    return f'{head}\n<!DOCTYPE SOAP-ENV:Envelope [{"".join(entities)}]>\n{rest}'


NODE_BOMB_ELEMENTS = 2_000_000  # 8 MB of "<a/>", under the client's 8 MiB cap
IMPORT_STORM = 100
IMPORT_BOMBS = 4


def node_bomb(operation):
    elements = "<a/>" * NODE_BOMB_ELEMENTS
    if operation is None:
        return f'<definitions xmlns="http://schemas.xmlsoap.org/wsdl/">{elements}</definitions>'
    return call_answer(operation, "OK").replace("</return>", "</return>" + elements)


def with_imports(document, locations):
    imports = "".join(f'<import namespace="urn:storm" location="{l}"/>' for l in locations)
    return re.sub(r"(<definitions[^>]*>)", lambda m: m.group(1) + imports, without_port(document), count=1)


def malformed(operation):
    return call_answer(operation, COMPANY_REQUEST).replace("</return>", "</retorno>")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    ids = itertools.count(1)

    def log_message(self, *args):
        pass

    def record(self, event, **fields):
        entry = {"event": event, "id": self.id, "time": round(time.time(), 3), **fields}
        with self.server.log_lock, open(self.server.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")

    def plan(self):
        try:
            with open(self.server.plan_path, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def do_GET(self):
        self.exchange(None)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode("utf-8", "replace")
        match = re.search(r"<(?:[\w.-]+:)?Body[^>]*>\s*<(?:[\w.-]+:)?([\w.-]+)", body)
        self.exchange(match.group(1) if match else "?")

    def exchange(self, operation):
        self.id = next(self.ids)
        if operation is None and self.path.startswith("/import/"):
            mode = self.plan().get("import", "missing")
            self.record("begin", method=self.command, path=self.path, operation=None, mode="import " + mode)
            if mode == "hang":
                how = self.play_hang(None, mode)
            elif mode == "nodebomb":
                self.answer(200, node_bomb(None))
                how = "answered"
            else:
                self.answer(404, "not found", "text/plain")
                how = "answered"
            self.record("end", how=how)
            return
        if self.server.redirect_target:
            self.record("begin", method=self.command, path=self.path, operation=operation, mode="redirected here")
            self.answer(404, "not here", "text/plain")
            self.record("end", how="answered")
            return
        key = "wsdl" if operation is None else operation
        mode = self.plan().get(key, "valid")
        self.record("begin", method=self.command, path=self.path, operation=operation, mode=mode,
                    soapaction=self.headers.get("SOAPAction"))
        how = getattr(self, "play_" + mode, self.play_answer)(operation, mode)
        self.record("end", how=how)

    def true_answer(self, operation, mode="valid"):
        if operation is None:
            host, port = self.server.server_address[:2]
            return wsdl(host, port)
        return call_answer(operation, CALL_ANSWERS.get(mode, "OK" if operation == "TestaConexao" else ""))

    def answer(self, status, body, content_type="text/xml; charset=utf-8", headers=()):
        data = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()

    def client_gone(self, wait=0.0):
        """True when the client has closed its end (or reset it)."""
        try:
            readable, _, _ = select.select([self.connection], [], [], wait)
            return bool(readable) and self.connection.recv(1, socket.MSG_PEEK) == b""
        except OSError:
            return True

    def play_answer(self, operation, mode):
        host, port = self.server.server_address[:2]
        if operation is None and mode == "empty":
            self.answer(200, "")
        elif operation is None and mode == "noport":
            self.answer(200, without_port(self.true_answer(None)))
        elif operation is None and mode == "importstorm":
            self.answer(200, with_imports(self.true_answer(None),
                                          [f"http://{host}:{port}/import/{i}" for i in range(IMPORT_STORM)]))
        elif operation is None and mode == "importbomb":
            self.answer(200, with_imports(self.true_answer(None),
                                          [f"http://{host}:{port}/import/bomb{i}" for i in range(IMPORT_BOMBS)]))
        else:
            self.answer(200, self.true_answer(operation, mode))
        return "answered"

    def play_hang(self, operation, mode):
        self.close_connection = True
        end = time.monotonic() + HOLD_LIMIT
        while time.monotonic() < end and not stopping.is_set():
            if self.client_gone(0.2):
                return "client closed"
        return "held"

    def play_drip(self, operation, mode):
        self.close_connection = True
        data = self.true_answer(operation).encode("utf-8")
        try:
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n"
                             + f"Content-Length: {len(data)}\r\n\r\n".encode())
            self.wfile.flush()
            end = time.monotonic() + HOLD_LIMIT
            for byte in data:
                if time.monotonic() >= end or stopping.is_set():
                    return "held"
                self.connection.sendall(bytes([byte]))
                if self.client_gone(1.0):
                    return "client closed"
        except OSError:
            return "client closed"
        return "answered"

    def play_huge(self, operation, mode):
        self.close_connection = True
        start = b'<?xml version="1.0" encoding="utf-8"?>\n<big>'
        chunk = b"<x>" + b"a" * 65530 + b"</x>"
        sent = 0
        try:
            self.wfile.write(f"HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n"
                             f"Content-Length: {HUGE}\r\n\r\n".encode() + start)
            self.wfile.flush()
            sent = len(start)
            while sent < HUGE and not stopping.is_set():
                piece = chunk[:HUGE - sent]
                self.connection.sendall(piece)
                sent += len(piece)
        except OSError:
            return f"client closed after {sent} bytes"
        return f"answered {sent} bytes"

    def play_reset(self, operation, mode):
        self.close_connection = True
        data = self.true_answer(operation, "request").encode("utf-8")
        self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n"
                         + f"Content-Length: {len(data)}\r\n\r\n".encode() + data[:len(data) // 2])
        self.wfile.flush()
        time.sleep(0.2)
        # A zero linger time makes close() send a reset instead of a FIN.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        # The socket closes for real only once the handler's files let go.
        self.rfile.close()
        self.wfile.close()
        self.connection.close()
        return "reset"

    def play_html(self, operation, mode):
        self.answer(200, "<html><body><h1>Manuten\u00e7\u00e3o</h1></body></html>", "text/html")
        return "answered"

    def play_redirect(self, operation, mode):
        host, port = self.server.server_address[:2]
        self.answer(302, "<html>moved</html>", "text/html",
                    [("Location", f"http://{host}:{port + 1}{self.path}")])
        return "answered"

    def play_fault(self, operation, mode):
        self.answer(500, ENVELOPE.format("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode>"
                                         "<faultstring>Servidor em manuten\u00e7\u00e3o</faultstring>"
                                         "</SOAP-ENV:Fault>"))
        return "answered"

    def play_nodebomb(self, operation, mode):
        self.answer(200, node_bomb(operation))
        return "answered"

    def play_head(self, line_every):
        """The status line, then header lines without end: one a second, or a flood."""
        self.close_connection = True
        line = b"X-Filler-%d: " + b"y" * (8 if line_every else 1000) + b"\r\n"
        end = time.monotonic() + HOLD_LIMIT
        sent = 0
        try:
            self.connection.sendall(b"HTTP/1.1 200 OK\r\n")
            while time.monotonic() < end and not stopping.is_set():
                lines = b"".join(line % (sent + i) for i in range(1 if line_every else 64))
                self.connection.sendall(lines)
                sent += 1 if line_every else 64
                if self.client_gone(line_every):
                    return f"client closed after {sent} header lines"
        except OSError:
            return f"client closed after {sent} header lines"
        return "held"

    def play_headdrip(self, operation, mode):
        return self.play_head(1.0)

    def play_headflood(self, operation, mode):
        return self.play_head(0.0)

    def play_malformed(self, operation, mode):
        self.answer(200, malformed(operation or "TestaConexao"))
        return "answered"

    def play_doctype(self, operation, mode):
        self.answer(200, billion_laughs(operation or "TestaConexao"))
        return "answered"


def serve(host, port, plan, log, redirect_target=False):
    server = ThreadingHTTPServer((host, port), Handler)
    server.daemon_threads = True
    server.plan_path, server.log_path, server.log_lock = plan, log, threading.Lock()
    server.redirect_target = redirect_target
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.3")
    parser.add_argument("--port", type=int, default=5660)
    parser.add_argument("--plan", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    servers = [serve(args.host, args.port, args.plan, args.log),
               serve(args.host, args.port + 1, args.plan, args.log, redirect_target=True)]
    done = threading.Event()

    def stop(*_):
        stopping.set()
        done.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("listening", flush=True)
    done.wait()
    for server in servers:
        server.shutdown()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
