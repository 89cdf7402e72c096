#!/usr/bin/python3
"""Serves a directory over HTTP at a bounded rate per connection, so that a
crawl or a download is still running when its window is photographed.

Usage: slow_site.py ROOT HOST PORT BYTES_PER_SECOND
Files are answered with Content-Length and a content type; a directory with
its index.htm. Every answer closes its connection.
"""
import http.server
import os
import sys
import time
from functools import partial

PIECE = 4096


class Handler(http.server.SimpleHTTPRequestHandler):
    rate = 0

    def copyfile(self, source, destination):
        started = time.monotonic()
        sent = 0
        while True:
            piece = source.read(PIECE)
            if not piece:
                return
            destination.write(piece)
            sent += len(piece)
            # Sleep until the bytes sent so far are within the rate.
            ahead = sent / self.rate - (time.monotonic() - started)
            if ahead > 0:
                time.sleep(ahead)

    def log_message(self, format, *args):
        pass


def main():
    root, host, port, rate = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
    Handler.rate = rate
    handler = partial(Handler, directory=os.path.abspath(root))
    server = http.server.ThreadingHTTPServer((host, port), handler)
    server.daemon_threads = True
    server.serve_forever()


if __name__ == "__main__":
    main()
