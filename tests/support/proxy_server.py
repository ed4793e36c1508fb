#!/usr/bin/env python3
"""HTTP proxy for tests on 127.0.0.1, requiring Basic credentials.

Usage: proxy_server.py USER PASSWORD

Prints its port as the first line of stdout. Requests without the right Proxy-Authorization
get 407. Absolute-URI requests are forwarded to the origin with "X-Test-Proxy: forwarded"
added; CONNECT opens a tunnel. Only loopback origins are served (others get 403). Stops when
its stdin closes or after five minutes.
"""
import base64
import socket
import socketserver
import sys
import threading
import urllib.parse

LIFETIME_SECONDS = 300
LOOPBACK = {"127.0.0.1", "localhost", "::1"}


def read_head(stream):
    lines = []
    while True:
        line = stream.readline(65536)
        if not line:
            return None
        if line in (b"\r\n", b"\n"):
            return lines
        lines.append(line.decode("latin-1").rstrip("\r\n"))


def relay(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        try:
            target.shutdown(socket.SHUT_WR)
        except OSError:
            pass


class Handler(socketserver.StreamRequestHandler):
    # Unbuffered, so that no byte meant for a CONNECT tunnel is left in a read buffer.
    rbufsize = 0

    def reply(self, status, extra=""):
        self.wfile.write(
            f"HTTP/1.1 {status}\r\n{extra}Content-Length: 0\r\nConnection: close\r\n\r\n".encode())

    def handle(self):
        head = read_head(self.rfile)
        if not head:
            return
        method, target, version = (head[0].split(" ") + ["", ""])[:3]
        headers = []
        for line in head[1:]:
            name, _, value = line.partition(":")
            headers.append((name.strip(), value.strip()))
        authorization = next((v for n, v in headers if n.lower() == "proxy-authorization"), "")
        if authorization != self.server.expected:
            self.reply("407 Proxy Authentication Required",
                       'Proxy-Authenticate: Basic realm="test"\r\n')
            return
        if method == "CONNECT":
            host, _, port = target.rpartition(":")
            if host.strip("[]") not in LOOPBACK:
                self.reply("403 Forbidden")
                return
            upstream = socket.create_connection((host.strip("[]"), int(port)), timeout=30)
            self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
            self.wfile.flush()
            back = threading.Thread(target=relay, args=(upstream, self.connection))
            back.start()
            relay(self.connection, upstream)
            back.join()
            upstream.close()
            return
        url = urllib.parse.urlsplit(target)
        if url.hostname not in LOOPBACK:
            self.reply("403 Forbidden")
            return
        length = int(next((v for n, v in headers if n.lower() == "content-length"), "0") or 0)
        body = b""
        while len(body) < length:
            chunk = self.rfile.read(length - len(body))
            if not chunk:
                break
            body += chunk
        path = url.path or "/"
        if url.query:
            path += "?" + url.query
        skip = {"proxy-authorization", "proxy-connection", "connection"}
        lines = [f"{method} {path} {version}"]
        lines += [f"{n}: {v}" for n, v in headers if n.lower() not in skip]
        lines += ["X-Test-Proxy: forwarded", "Connection: close"]
        upstream = socket.create_connection((url.hostname, url.port or 80), timeout=30)
        upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body)
        relay(upstream, self.connection)
        upstream.close()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    user, password = sys.argv[1], sys.argv[2]
    server = Server(("127.0.0.1", 0), Handler)
    token = base64.b64encode(f"{user}:{password}".encode()).decode()
    server.expected = "Basic " + token
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
