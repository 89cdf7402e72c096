#!/usr/bin/python3
"""A pyftpdlib FTP server that lists like a Windows (IIS) server of the 2000s.

Serves one directory to the anonymous user. LIST answers in DOS style
("12-09-26  07:16PM  <DIR>  name"): directories with two-digit years, files
with four-digit ones, the clock in 12 hours with AM/PM, in the server's local
time. Names travel in Windows-1250, both ways, as on Croatian Windows servers.
The server knows no MLSD, so clients have to read LIST.
Usage: dos_listing_ftp.py --port P --root DIR [--host H]
"""
import asynchat
import os
import stat
import time

from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler

from anonymous_ftp import serve

CODE_PAGE = "cp1250"


class DosFilesystem(AbstractedFS):
    def format_list(self, basedir, listing, ignore_err=True):
        for name in listing:
            try:
                st = self.stat(os.path.join(basedir, name))
            except OSError:
                if ignore_err:
                    continue
                raise
            moment = time.localtime(st.st_mtime)
            if stat.S_ISDIR(st.st_mode):
                when = time.strftime("%m-%d-%y  %I:%M%p", moment)
                line = "%s       <DIR>          %s\r\n" % (when, name)
            else:
                when = time.strftime("%m-%d-%Y  %I:%M%p", moment)
                line = "%s  %18d %s\r\n" % (when, st.st_size, name)
            yield line.encode(CODE_PAGE)


class Handler(FTPHandler):
    abstracted_fs = DosFilesystem
    proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("MLSD", "MLST")}

    def decode(self, data):
        return data.decode(CODE_PAGE)

    def push(self, text):
        asynchat.async_chat.push(self, text.encode(CODE_PAGE, "replace"))

    def ftp_FEAT(self, line):
        self.push("211-Features supported:\r\n SIZE\r\n MDTM\r\n211 End FEAT.\r\n")


if __name__ == "__main__":
    serve(Handler)
