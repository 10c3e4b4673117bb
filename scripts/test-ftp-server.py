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
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


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
