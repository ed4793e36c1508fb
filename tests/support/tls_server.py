#!/usr/bin/env python3
"""HTTPS test server on 127.0.0.1.

Usage: tls_server.py CERT KEY

Prints the port it listens on as the first line of stdout, then answers every request with
200 and the body "secure <METHOD> <PATH>". Stops when its stdin closes (the test that started
it has ended) or after five minutes, whichever comes first.
"""
import http.server
import ssl
import sys
import threading

LIFETIME_SECONDS = 300


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def _answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        body = f"secure {self.command} {self.path}".encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    do_GET = do_POST = _answer

    def log_message(self, *args):
        pass


def main():
    cert, key = sys.argv[1], sys.argv[2]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)

    def stop_when_stdin_closes():
        sys.stdin.read()
        server.shutdown()

    threading.Thread(target=stop_when_stdin_closes, daemon=True).start()
    timer = threading.Timer(LIFETIME_SECONDS, server.shutdown)
    timer.daemon = True
    timer.start()
    server.serve_forever(poll_interval=0.1)


if __name__ == "__main__":
    main()
