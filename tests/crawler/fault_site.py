#!/usr/bin/python3
"""A small site whose links fail in the ways a crawler must survive.

Usage: fault_site.py HOST PORT
Every request's path is printed on its own line ("GET /path") as it arrives.
  /index.htm     links to every page below
  /ok.htm        a normal page
  /missing.htm   404
  /lost.gif      404 (a picture)
  /loop.htm      a redirect to itself
  /busy.htm      503
  /reset.htm     the connection is reset before any answer
  /stall.htm     headers and 1,000 bytes of a longer body, then silence
  /empty.htm     200 with an empty body
  /hangup.htm    the connection closes before any answer
  /short.htm     announces 2,000 bytes, sends 500, closes
"""
import socket
import socketserver
import struct
import sys
import threading
import time

INDEX = (b"<html><body>\r\n"
         b"<a href=ok.htm>ok</a>\r\n"
         b"<a href=\"missing.htm\">404</a>\r\n"
         b"<img src=lost.gif>\r\n"
         b"<a href=loop.htm>loop</a> <a href=busy.htm>busy</a>\r\n"
         b"<a href=reset.htm>reset</a>\r\n"
         b"<a href=stall.htm>stall</a>\r\n"
         b"<a href=empty.htm>empty</a> <a href=hangup.htm>hangup</a>\r\n"
         b"<a href=short.htm>short</a>\r\n"
         b"</body></html>\r\n")
OK = b"<html><body><p>U redu.</p><a href=index.htm>natrag</a></body></html>\r\n"
STALLED_PART = b"s" * 1000
SHORT_PART = b"h" * 500


def answer(status, body, length=None):
    head = "HTTP/1.1 %s\r\nContent-Type: text/html\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % (
        status, len(body) if length is None else length)
    return head.encode() + body


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk:
                return
            data += chunk
        path = data.split(b" ")[1].decode(errors="replace")
        print("GET " + path, flush=True)
        if path in ("/", "/index.htm"):
            self.request.sendall(answer("200 OK", INDEX))
        elif path == "/ok.htm":
            self.request.sendall(answer("200 OK", OK))
        elif path == "/loop.htm":
            self.request.sendall(("HTTP/1.1 302 Found\r\nLocation: /loop.htm\r\nContent-Length: 0\r\n"
                                  "Connection: close\r\n\r\n").encode())
        elif path == "/busy.htm":
            self.request.sendall(answer("503 Service Unavailable", b"<html>zauzeto</html>"))
        elif path == "/reset.htm":
            # SO_LINGER with a zero time makes close() send a reset.
            # close() right here, before the server's orderly shutdown could send a FIN.
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.request.close()
        elif path == "/empty.htm":
            self.request.sendall(answer("200 OK", b""))
        elif path == "/hangup.htm":
            self.request.close()
        elif path == "/short.htm":
            self.request.sendall(answer("200 OK", SHORT_PART, length=2000))
        elif path == "/stall.htm":
            self.request.sendall(answer("200 OK", STALLED_PART, length=100000))
            time.sleep(60)
        else:
            self.request.sendall(answer("404 Not Found", b"<html>nema</html>"))


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def main():
    host, port = sys.argv[1], int(sys.argv[2])
    server = Server((host, port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
