#!/usr/bin/python3
"""A pyftpdlib FTP server whose directory listings also carry forged entries.

Serves one directory to the anonymous user. Every MLSD and LIST answer holds
the real entries followed by entries no real directory can hold: ".", "..",
names with a "/" that climb out of the directory or into another one. A client
must not offer them, so nothing it fetches lands outside its own directories.
Usage: forged_listing_ftp.py --port P --root DIR [--host H]
"""

from pyftpdlib.handlers import FTPHandler

from anonymous_ftp import serve

FORGED_NAMES = ["../../izvan.txt", "../izvan.txt", "dir/izvan.txt", "..", "."]


def forged_mlsd():
    lines = ["type=file;size=6;modify=20240305140700; %s\r\n" % name for name in FORGED_NAMES]
    lines.append("type=dir;modify=20240305140700; ..\r\n")
    return "".join(lines).encode()


def forged_list():
    lines = ["-rw-r--r--   1 owner    group           6 Mar  5  2024 %s\r\n" % name for name in FORGED_NAMES]
    lines.append("drwxr-xr-x   2 owner    group        4096 Mar  5  2024 ..\r\n")
    return "".join(lines).encode()


class Handler(FTPHandler):
    def _listing(self, path, real, forged, cmd):
        # The real listing is read whole, then the forged lines follow it.
        entries = self.run_as_current_user(self.fs.listdir, path)
        body = b"".join(real(path, entries))
        self.push_dtp_data(body + forged(), cmd=cmd)
        return path

    def ftp_MLSD(self, path):
        perms = self.authorizer.get_perms(self.username)
        real = lambda p, entries: self.fs.format_mlsx(p, entries, perms, self._current_facts)
        return self._listing(path, real, forged_mlsd, "MLSD")

    def ftp_LIST(self, path):
        real = lambda p, entries: self.fs.format_list(p, entries)
        return self._listing(path, real, forged_list, "LIST")


if __name__ == "__main__":
    serve(Handler)
