"""Runs a pyftpdlib handler class as an FTP server of one directory for the
anonymous user: the common part of the FTP test servers of this folder.
Their command line: --port P --root DIR [--host H]
"""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.servers import FTPServer


def serve(handler):
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    args = parser.parse_args()
    logging.basicConfig(level=logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root)
    handler.authorizer = authorizer
    server = FTPServer((args.host, args.port), handler)
    server.serve_forever()
