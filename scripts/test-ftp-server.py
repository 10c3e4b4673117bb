#!/usr/bin/env python3
"""A pyftpdlib server on 127.0.0.1 (or ::1 with --host ::1) for tests and benchmarks.

Prints "PORT <n>" once listening and stops when its standard input closes, so a test
process that dies never leaves a server behind.
"""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

# How much of a file moves before --drop-once cuts the connections.
DROP_AFTER = 65536


class DroppingFile(object):
    """A file whose transfer loses the command and data connections after DROP_AFTER bytes."""

    def __init__(self, file, handler):
        self._file = file
        self._handler = handler
        self._moved = 0

    def __getattr__(self, name):
        return getattr(self._file, name)

    def _allowed(self, size):
        """How much of a block of this size may move; past that the connections drop."""
        allowed = max(0, DROP_AFTER - self._moved)
        self._moved += size
        return allowed

    def read(self, size=-1):
        data = self._file.read(size)
        if len(data) <= self._allowed(len(data)):
            return data
        self._handler.close()
        return b""

    def write(self, data):
        allowed = self._allowed(len(data))
        self._file.write(data[:allowed])
        if len(data) > allowed:
            self._handler.close()
        return len(data)


def add_fault_arguments(parser):
    parser.add_argument("--max-connections", type=int, default=0,
                        help="command connections beyond this many are refused")
    parser.add_argument("--limit-reply", choices=["421", "530"], default="421",
                        help="how they are refused: 421 at the greeting or 530 to USER")
    parser.add_argument("--drop-once", default="",
                        help="the first transfer of a file of this name loses its connections")
    parser.add_argument("--refuse", default="",
                        help="transfers of a file of this name are refused with 550")
    parser.add_argument("--transfer-log", default="",
                        help="file that gets a line per RETR, STOR and APPE with its offset")
    parser.add_argument("--rate", type=int, default=0,
                        help="bytes per second each data connection may move")
    parser.add_argument("--no-mlst", action="store_true",
                        help="no MLST or MLSD, so FEAT does not offer them")


def add_faults(args, handler_class):
    """Makes the handler class refuse, drop, log and throttle as the arguments ask."""
    counted = set()
    dropped = []

    def matches(name, path):
        return bool(name) and os.path.basename(path) == name

    def log(command, path, offset):
        if args.transfer_log:
            with open(args.transfer_log, "a") as log_file:
                log_file.write("%s %s %d\n" % (command, path, offset))

    class FileSystem(AbstractedFS):
        def open(self, filename, mode):
            file = super().open(filename, mode)
            if matches(args.drop_once, filename) and not dropped:
                dropped.append(filename)
                return DroppingFile(file, self.cmd_channel)
            return file

    class Handler(handler_class):
        def _over_limit(self, reply):
            if not args.max_connections or args.limit_reply != reply or self in counted:
                return False
            if len(counted) >= args.max_connections:
                return True
            counted.add(self)
            return False

        def handle(self):
            if self._over_limit("421"):
                self.respond("421 Too many connections, try again later.")
                self.close_when_done()
                return
            super().handle()

        def ftp_USER(self, line):
            if self._over_limit("530"):
                self.respond("530 Too many users, try again later.")
                return
            return super().ftp_USER(line)

        def close(self):
            counted.discard(self)
            super().close()

        def ftp_RETR(self, file):
            if matches(args.refuse, file):
                self.respond("550 Refused by the test server.")
                return
            log("RETR", file, self._restart_position)
            return super().ftp_RETR(file)

        def ftp_STOR(self, file, mode="w"):
            if matches(args.refuse, file):
                self.respond("550 Refused by the test server.")
                return
            appended = mode == "a" and os.path.exists(file)
            log("APPE" if mode == "a" else "STOR", file,
                os.path.getsize(file) if appended else self._restart_position)
            return super().ftp_STOR(file, mode)

    Handler.abstracted_fs = FileSystem
    if args.no_mlst:
        Handler.proto_cmds = {name: info for name, info in handler_class.proto_cmds.items()
                              if name not in ("MLST", "MLSD")}
    if args.drop_once:
        # sendfile would move the file without the reads that count it.
        Handler.use_sendfile = False
    if args.rate:
        Handler.dtp_handler = ThrottledDTPHandler
        ThrottledDTPHandler.read_limit = args.rate
        ThrottledDTPHandler.write_limit = args.rate
    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="tarn")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1", choices=["127.0.0.1", "::1"])
    parser.add_argument("--anonymous", action="store_true")
    add_fault_arguments(parser)
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    if args.anonymous:
        authorizer.add_anonymous(args.root, perm="elradfmwMT")

    class Handler(FTPHandler):
        pass

    Handler = add_faults(args, Handler)

    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    Handler.passive_ports = None
    Handler.masquerade_address = None
    Handler.banner = "Tarn test server ready."
    # Large buffers keep the server from being the bottleneck of the transfer benchmark.
    Handler.dtp_handler.ac_in_buffer_size = 262144
    Handler.dtp_handler.ac_out_buffer_size = 262144

    server = FTPServer((args.host, args.port), Handler)
    server.max_cons = 64
    port = server.socket.getsockname()[1]
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        finally:
            os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(timeout=0.2, blocking=True, handle_exit=True)


if __name__ == "__main__":
    main()
