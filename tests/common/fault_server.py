#!/usr/bin/python3
"""A misbehaving HTTP server for the Internet client's tests.

Usage: fault_server.py PORT [HOST [PEM]]. With PEM (key and certificate in one
file) it speaks HTTPS. The request path picks the behaviour:
  /ok/N            200 with a body of N bytes
  /stall           headers, then nothing (the connection stays open)
  /truncate/N/M    announces M bytes, sends N, closes
  /stallafter/N    announces 2N bytes, sends N, then nothing (the connection stays open)
  /reset           reads the request and resets the connection
  /status/C        answers with status C and a short body
  /redirect-once   302 to /ok/100
  /redirect-loop   302 to itself
  /drip/N          N bytes, one every 100 ms
  /slow/N/S        announces N bytes and sends them S bytes every 100 ms
  /chunked/N/S     N bytes in chunks of S bytes every 100 ms, no size announced
  /links/K         a page with K pictures and one page, each of 8 MB sent slowly
  /silent          reads the request and sends nothing, keeping the connection
  /hangup          reads the request and closes without an answer
Every request is counted; /count answers with the number of requests seen
for a path given after it (/count/silent).
"""
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time

counts = {}
counts_lock = threading.Lock()


def body_of(size):
    pattern = bytes(range(256))
    return (pattern * (size // 256 + 1))[:size]


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def send_head(self, status, length, extra=""):
        head = "HTTP/1.1 %d X\r\nContent-Length: %d\r\n%sConnection: close\r\n\r\n" % (status, length, extra)
        self.request.sendall(head.encode())

    def send_slowly(self, body, step, framed):
        for start in range(0, len(body), step):
            self.request.sendall(framed(body[start:start + step]))
            time.sleep(0.1)

    def hold(self):
        # Keep the connection until the client gives up.
        try:
            while self.request.recv(4096):
                pass
        except OSError:
            pass

    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data:
            try:
                chunk = self.request.recv(4096)
            except OSError:
                # A failed handshake, or a probe that only looked at the port.
                return
            if not chunk:
                return
            data += chunk
        path = data.split(b" ")[1].decode()
        parts = [p for p in path.split("/") if p]
        name = parts[0] if parts else ""
        with counts_lock:
            counts[name] = counts.get(name, 0) + 1
        try:
            self.answer(name, parts[1:])
        except OSError:
            pass

    def answer(self, name, args):
        if name == "ok":
            size = int(args[0])
            self.send_head(200, size)
            self.request.sendall(body_of(size))
        elif name == "stall":
            self.send_head(200, 1000)
            self.hold()
        elif name == "stallafter":
            sent = int(args[0])
            self.send_head(200, 2 * sent)
            self.request.sendall(body_of(sent))
            self.hold()
        elif name == "truncate":
            sent, announced = int(args[0]), int(args[1])
            self.send_head(200, announced)
            self.request.sendall(body_of(sent))
        elif name == "reset":
            # Closing at once with a zero linger sends a reset instead of the
            # orderly shutdown the server would otherwise do.
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.request.close()
        elif name == "status":
            text = b"<html>status page</html>"
            self.send_head(int(args[0]), len(text))
            self.request.sendall(text)
        elif name == "redirect-once":
            self.send_head(302, 0, "Location: /ok/100\r\n")
        elif name == "redirect-loop":
            self.send_head(302, 0, "Location: /redirect-loop\r\n")
        elif name == "drip":
            size = int(args[0])
            self.send_head(200, size)
            for byte in body_of(size):
                self.request.sendall(bytes([byte]))
                time.sleep(0.1)
        elif name == "slow":
            size, step = int(args[0]), int(args[1])
            self.send_head(200, size)
            self.send_slowly(body_of(size), step, lambda piece: piece)
        elif name == "chunked":
            size, step = int(args[0]), int(args[1])
            head = "HTTP/1.1 200 X\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
            self.request.sendall(head.encode())
            self.send_slowly(body_of(size), step, lambda piece: b"%x\r\n%s\r\n" % (len(piece), piece))
            self.request.sendall(b"0\r\n\r\n")
        elif name == "links":
            slow = "/slow/8000000/20000/"
            pictures = "".join('<img src="%sslika%d.jpg">' % (slow, i) for i in range(int(args[0])))
            page = ('<html><body>%s<a href="%sstrana.htm">strana</a></body></html>' % (pictures, slow)).encode()
            self.send_head(200, len(page), "Content-Type: text/html\r\n")
            self.request.sendall(page)
        elif name == "silent":
            self.hold()
        elif name == "hangup":
            pass
        elif name == "count":
            with counts_lock:
                text = str(counts.get(args[0], 0)).encode()
            self.send_head(200, len(text))
            self.request.sendall(text)
        else:
            self.send_head(404, 0)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None

    def get_request(self):
        connection, address = super().get_request()
        if self.tls:
            # The handshake runs on the handler's thread with its first read, so
            # a client that never speaks holds no one else up.
            connection = self.tls.wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
        return connection, address


def main():
    port = int(sys.argv[1])
    host = sys.argv[2] if len(sys.argv) > 2 else "127.0.0.1"
    with Server((host, port), Handler) as server:
        if len(sys.argv) > 3:
            server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            server.tls.load_cert_chain(sys.argv[3])
        server.serve_forever()


if __name__ == "__main__":
    main()
