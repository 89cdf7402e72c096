#!/usr/bin/python3
"""A pyftpdlib FTP server on a loopback port for the tests and benchmarks.

Serves one directory to an anonymous user and, when given, to a user with a
password. --no-mlsd leaves MLST/MLSD out of the server's commands and features,
so clients have to fall back on LIST. --certificate and --key offer explicit TLS
(AUTH TLS, PROT P); --throttle sends files at most that many bytes a second
(clear-text servers only);
--log writes every command and answer to a file.
"""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def handler_class(tls):
    if not tls:
        return FTPHandler
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    class DataHandler(TLS_DTPHandler):
        # pyftpdlib 1.5.7 closes a download's data connection while its TLS
        # handshake still waits for the client (its issue 604, mended upstream
        # by making the connection readable while it accepts).
        def readable(self):
            return self._ssl_accepting or TLS_DTPHandler.readable(self)

    class Handler(TLS_FTPHandler):
        dtp_handler = DataHandler

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--certificate")
    parser.add_argument("--key")
    parser.add_argument("--throttle", type=int, default=0)
    parser.add_argument("--log")
    args = parser.parse_args()

    if args.log:
        logging.basicConfig(filename=args.log, level=logging.DEBUG)
    else:
        logging.basicConfig(level=logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root)
    if args.user:
        authorizer.add_user(args.user, args.password, args.root, perm="elr")

    base = handler_class(bool(args.certificate))

    class Handler(base):
        # A rejected login is answered at once rather than after the default pause.
        auth_failed_timeout = 0.05

        def ftp_USER(self, line):
            # Like most servers, any spelling of "anonymous" is the anonymous user.
            if line.lower() == "anonymous":
                line = "anonymous"
            return base.ftp_USER(self, line)

    Handler.authorizer = authorizer
    Handler.passive_ports = None
    Handler.masquerade_address = None
    if args.certificate:
        Handler.certfile = args.certificate
        Handler.keyfile = args.key
    if args.throttle and args.certificate:
        # pyftpdlib's throttled data connection sends past its TLS layer.
        parser.error("--throttle works on clear-text servers only")
    if args.throttle:
        class Throttled(ThrottledDTPHandler):
            write_limit = args.throttle

        Handler.dtp_handler = Throttled
    if args.no_mlsd:
        Handler.proto_cmds = {k: v for k, v in base.proto_cmds.items() if k not in ("MLSD", "MLST")}

        def ftp_FEAT(self, line):
            self.push("211-Features supported:\r\n SIZE\r\n MDTM\r\n UTF8\r\n211 End FEAT.\r\n")

        Handler.ftp_FEAT = ftp_FEAT

    server = FTPServer((args.host, args.port), Handler)
    server.max_cons = 256
    server.serve_forever()


if __name__ == "__main__":
    main()
