#!/usr/bin/env python3
"""A pyftpdlib server on 127.0.0.1 (or ::1 with --host ::1) for tests and benchmarks.

Prints "PORT <n>" once listening and stops when its standard input closes, so a test
process that dies never leaves a server behind. With --tls explicit or implicit it speaks FTP
over TLS with a self-signed certificate (made at --tls-cert when that file is missing).
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


def make_certificate(path):
    """A self-signed certificate for localhost, 127.0.0.1 and ::1, with its key."""
    import datetime
    import ipaddress
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID

    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Tarn test server")])
    now = datetime.datetime.now(datetime.timezone.utc)
    names = [x509.DNSName("localhost"), x509.IPAddress(ipaddress.ip_address("127.0.0.1")),
             x509.IPAddress(ipaddress.ip_address("::1"))]
    certificate = (x509.CertificateBuilder().subject_name(name).issuer_name(name)
                   .public_key(key.public_key()).serial_number(x509.random_serial_number())
                   .not_valid_before(now - datetime.timedelta(days=1))
                   .not_valid_after(now + datetime.timedelta(days=3650))
                   .add_extension(x509.SubjectAlternativeName(names), critical=False)
                   .sign(key, hashes.SHA256()))
    with open(path, "wb") as out:
        out.write(key.private_bytes(serialization.Encoding.PEM,
                                    serialization.PrivateFormat.PKCS8,
                                    serialization.NoEncryption()))
        out.write(certificate.public_bytes(serialization.Encoding.PEM))


def tls_handler(args):
    """pyftpdlib's TLS handler with what Debian 12's 1.5.7 lacks: an implicit mode and data
    connections that stay readable during their handshake; and optionally the refusal of data
    connections that do not resume the control connection's session (as vsftpd and proftpd)."""
    from OpenSSL import SSL
    from OpenSSL._util import lib
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    if not os.path.exists(args.tls_cert):
        make_certificate(args.tls_cert)
    context = SSL.Context(SSL.TLS_METHOD)
    context.use_certificate_chain_file(args.tls_cert)
    context.use_privatekey_file(args.tls_cert)
    context.set_options(SSL.OP_NO_COMPRESSION)
    context.set_session_id(b"tarn-test")
    if args.tls_version == "1.2":
        context.set_max_proto_version(SSL.TLS1_2_VERSION)
    elif args.tls_version == "1.3":
        context.set_min_proto_version(SSL.TLS1_3_VERSION)
    plaintext = open(args.plaintext_log, "ab", buffering=0) if args.plaintext_log else None

    class DataHandler(TLS_DTPHandler):
        def readable(self):
            # pyftpdlib issue 604: a data connection whose handshake starts before the transfer
            # command arrives must not be closed as idle.
            return self._ssl_accepting or super().readable()

        def handle_ssl_established(self):
            if args.tls_require_reuse and not lib.SSL_session_reused(self.socket._ssl):
                self._resp = ("522 Data connections must resume the TLS session of the "
                              "control connection.", logging.info)
                self.close()

    class Handler(TLS_FTPHandler):
        dtp_handler = DataHandler
        ssl_context = context
        _greeted = False

        def handle(self):
            if args.tls != "implicit":
                return super().handle()
            self.secure_connection(self.ssl_context)

        def handle_ssl_established(self):
            if args.tls == "implicit" and not self._greeted:
                self._greeted = True
                super().handle()

        def collect_incoming_data(self, data):
            if plaintext is not None and not isinstance(self.socket, SSL.Connection):
                plaintext.write(data + b"\n")
            super().collect_incoming_data(data)

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
    parser.add_argument("--tls", default="none", choices=["none", "explicit", "implicit"])
    parser.add_argument("--tls-cert", help="PEM file with key and certificate")
    parser.add_argument("--tls-version", choices=["1.2", "1.3"],
                        help="the only TLS version the server accepts")
    parser.add_argument("--tls-require-reuse", action="store_true",
                        help="refuse a data connection that does not resume the control "
                             "connection's TLS session")
    parser.add_argument("--plaintext-log",
                        help="file that receives what the client sends before TLS starts")
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    if args.anonymous:
        authorizer.add_anonymous(args.root, perm="elradfmwMT")

    Handler = tls_handler(args) if args.tls != "none" else type("Handler", (FTPHandler,), {})

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
