#!/usr/bin/env python3
"""Certificates for testing HTTPS against the service double, made with openssl.

    python3 make_certs.py OUT_DIR        prints the files it wrote

Writes into OUT_DIR (created if missing):
    ca.pem, ca.key      a test CA (the one to trust)
    server.key          the private key of every server certificate below
    localhost.pem       DNS:localhost, signed by the CA: the good one
    otherhost.pem       DNS:otherhost.invalid, signed by the CA: wrong name
    expired.pem         DNS:localhost, signed by the CA, expired at once
    selfsigned.pem      DNS:localhost, signed by its own key: untrusted
The keys are throwaway test keys without a passphrase. Standard library and
the openssl command only.
"""

import os
import subprocess
import sys

SERVER_EXTENSIONS = """[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:{name}
"""

# (file, host name, days valid). "-days 0" gives a certificate whose validity
# ends the second it begins: expired by the time anyone checks it.
SIGNED = (("localhost.pem", "localhost", 30), ("otherhost.pem", "otherhost.invalid", 30),
          ("expired.pem", "localhost", 0))


def _openssl(*args, cwd):
    result = subprocess.run(("openssl",) + args, cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("openssl %s failed: %s" % (args[0], result.stderr.strip()))


def make_certs(out_dir):
    """Make the test CA and server certificates in out_dir; return {file name: path}."""
    os.makedirs(out_dir, exist_ok=True)
    run = lambda *args: _openssl(*args, cwd=out_dir)  # noqa: E731
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "30",
        "-subj", "/O=Tindrel tests/CN=Tindrel test CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", "server.key")
    for serial, (name, host, days) in enumerate(SIGNED, start=1):
        stem = name[:-4]
        with open(os.path.join(out_dir, stem + ".ext"), "w") as f:
            f.write(SERVER_EXTENSIONS.format(name=host))
        run("req", "-new", "-key", "server.key", "-subj", "/CN=" + host, "-out", stem + ".csr")
        run("x509", "-req", "-in", stem + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-set_serial",
            str(1000 + serial), "-days", str(days), "-sha256", "-extfile", stem + ".ext", "-extensions", "server",
            "-out", name)
        os.remove(os.path.join(out_dir, stem + ".csr"))
        os.remove(os.path.join(out_dir, stem + ".ext"))
    run("req", "-x509", "-key", "server.key", "-subj", "/CN=localhost", "-days", "30", "-out", "selfsigned.pem",
        "-addext", "subjectAltName=DNS:localhost", "-addext", "extendedKeyUsage=serverAuth")
    names = ("ca.pem", "ca.key", "server.key") + tuple(n for n, _, _ in SIGNED) + ("selfsigned.pem",)
    return {n: os.path.join(out_dir, n) for n in names}


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_certs.py OUT_DIR")
    for path in make_certs(sys.argv[1]).values():
        print(path)
