#!/usr/bin/env python3
"""A stand-in for the central backup web service, on loopback only.

Serves the WSDL document and answers TestaConexao and BuscaSolic as the
script file says, read again at every request so a scenario can change
the answers while the service runs:

    {"TestaConexao": {"return": "OK"},
     "BuscaSolic": {"fault": "Service unavailable"}}

An answer is {"return": text}, {"fault": text} or {"hang": true} (the
request is read and never answered). A missing operation returns "".
Every request is recorded as one JSON line in the log file.
"""
import argparse
import json
import re
import signal
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

WSDL_PATH = "/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo"
SOAP_PATH = "/VostraniKelvoP/Kelvo.dll/soap/IcoKelvo"
NAMESPACE = "urn:coKelvoIntf-IcoKelvo"
OPERATIONS = ("TestaConexao", "BuscaSolic")

ENVELOPE = """<?xml version="1.0" encoding="utf-8"?>
<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" \
xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" \
xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/">
<SOAP-ENV:Body SOAP-ENV:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">{}</SOAP-ENV:Body>
</SOAP-ENV:Envelope>"""

stopping = threading.Event()


def wsdl(host, port):
    messages, operations, bindings = [], [], []
    for op in OPERATIONS:
        messages.append(f'<message name="{op}Request"/>'
                        f'<message name="{op}Response"><part name="return" type="xs:string"/></message>')
        operations.append(f'<operation name="{op}"><input message="tns:{op}Request"/>'
                          f'<output message="tns:{op}Response"/></operation>')
        body = f'<soap:body use="encoded" encodingStyle="http://schemas.xmlsoap.org/soap/encoding/" namespace="{NAMESPACE}"/>'
        bindings.append(f'<operation name="{op}"><soap:operation soapAction="{NAMESPACE}#{op}" style="rpc"/>'
                        f'<input>{body}</input><output>{body}</output></operation>')
    return f"""<?xml version="1.0" encoding="utf-8"?>
<definitions xmlns="http://schemas.xmlsoap.org/wsdl/" xmlns:xs="http://www.w3.org/2001/XMLSchema" \
name="IcoKelvoservice" targetNamespace="http://tempuri.org/" xmlns:tns="http://tempuri.org/" \
xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/">
{''.join(messages)}
<portType name="IcoKelvo">{''.join(operations)}</portType>
<binding name="IcoKelvobinding" type="tns:IcoKelvo"><soap:binding style="rpc" \
transport="http://schemas.xmlsoap.org/soap/http"/>{''.join(bindings)}</binding>
<service name="IcoKelvoservice"><port name="IcoKelvoPort" binding="tns:IcoKelvobinding">\
<soap:address location="http://{host}:{port}{SOAP_PATH}"/></port></service>
</definitions>"""


def make_handler(script_path, log_path):
    log_lock = threading.Lock()

    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def record(self, operation=None):
            entry = {"time": round(time.time(), 3), "method": self.command, "path": self.path,
                     "soapaction": self.headers.get("SOAPAction"),
                     "content_type": self.headers.get("Content-Type"), "operation": operation}
            with log_lock, open(log_path, "a", encoding="utf-8") as log:
                log.write(json.dumps(entry) + "\n")

        def send(self, status, body, content_type="text/xml; charset=utf-8"):
            data = body.encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def do_GET(self):
            self.record()
            if self.path != WSDL_PATH:
                self.send(404, "not found", "text/plain")
                return
            host, port = self.server.server_address[:2]
            self.send(200, wsdl(host, port))

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0"))).decode("utf-8", "replace")
            match = re.search(r"<(?:[\w.-]+:)?Body[^>]*>\s*<(?:[\w.-]+:)?([\w.-]+)", body)
            operation = match.group(1) if match else None
            self.record(operation)
            try:
                with open(script_path, encoding="utf-8") as f:
                    answer = json.load(f).get(operation, {"return": ""})
            except (OSError, ValueError):
                answer = {"return": ""}
            if answer.get("hang"):
                stopping.wait()
                self.close_connection = True
                return
            if "fault" in answer:
                fault = ("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode>"
                         f"<faultstring>{escape(answer['fault'])}</faultstring></SOAP-ENV:Fault>")
                self.send(500, ENVELOPE.format(fault))
                return
            result = (f'<NS1:{operation}Response xmlns:NS1="{NAMESPACE}">'
                      f'<return xsi:type="xsd:string">{escape(answer.get("return", ""))}</return>'
                      f"</NS1:{operation}Response>")
            self.send(200, ENVELOPE.format(result))

    return Handler


def main():
    parser = argparse.ArgumentParser()
    # Another loopback address lets a second run (soak, benchmark) serve
    # the service's fixed port 5660 beside the end-to-end scenarios.
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=5660)
    parser.add_argument("--script", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    server = ThreadingHTTPServer((args.host, args.port), make_handler(args.script, args.log))
    server.daemon_threads = True

    def stop(*_):
        stopping.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("listening", flush=True)
    server.serve_forever()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
