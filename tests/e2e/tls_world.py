"""TLS pieces for the whole-program tests: a test authority and server certificates made with
the openssl command line, and Dovecot serving POP3 over TLS (implicit on 995, STLS on 110).

The proxy is told to trust the test authority through OpenSSL's own SSL_CERT_FILE and
SSL_CERT_DIR variables, set for the proxy's process only: the machine's trusted authorities
stay untouched, and the proxy's checking runs exactly as it does against a real provider.
"""

import os
import subprocess

import harness

CA_CONFIG = """\
[ ca ]
default_ca = test_ca
[ test_ca ]
dir = {dir}
database = {dir}/index.txt
new_certs_dir = {dir}/issued
serial = {dir}/serial
default_md = sha256
policy = anything
copy_extensions = copy
unique_subject = no
[ anything ]
commonName = supplied
"""


def _run(args, cwd):
    done = subprocess.run(["openssl"] + args, cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        raise harness.HarnessError("openssl %s failed:\n%s" % (" ".join(args), done.stderr))


class Authority:
    """A certificate authority of the test, in a folder of its own."""

    def __init__(self, root, name):
        self.dir = os.path.join(root, name)
        os.makedirs(os.path.join(self.dir, "issued"))
        open(os.path.join(self.dir, "index.txt"), "w").close()
        with open(os.path.join(self.dir, "serial"), "w") as f:
            f.write("1000\n")
        self.config = os.path.join(self.dir, "ca.cnf")
        with open(self.config, "w") as f:
            f.write(CA_CONFIG.format(dir=self.dir))
        self.key = os.path.join(self.dir, "ca.key")
        self.cert = os.path.join(self.dir, "ca.pem")
        _run(["req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
              "-keyout", self.key, "-out", self.cert, "-days", "30",
              "-subj", "/CN=Brindlecap test authority " + name], self.dir)

    def issue(self, name, dns=("localhost",), ips=("127.0.0.1",), start=None, end=None):
        """A server key and certificate; `start`/`end` as YYYYMMDDHHMMSSZ for odd dates."""
        key = os.path.join(self.dir, name + ".key")
        csr = os.path.join(self.dir, name + ".csr")
        cert = os.path.join(self.dir, name + ".pem")
        alt = ",".join(["DNS:" + d for d in dns] + ["IP:" + i for i in ips])
        _run(["req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
              "-keyout", key, "-out", csr, "-subj", "/CN=" + (dns[0] if dns else name),
              "-addext", "subjectAltName=" + alt,
              "-addext", "basicConstraints=CA:FALSE",
              "-addext", "extendedKeyUsage=serverAuth"], self.dir)
        dates = (["-startdate", start] if start else []) + (["-enddate", end] if end else
                                                            ["-days", "30"])
        _run(["ca", "-batch", "-config", self.config, "-cert", self.cert, "-keyfile", self.key,
              "-in", csr, "-out", cert, "-notext"] + dates, self.dir)
        return cert, key


def self_signed(root, name="selfsigned"):
    key = os.path.join(root, name + ".key")
    cert = os.path.join(root, name + ".pem")
    _run(["req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
          "-keyout", key, "-out", cert, "-days", "30", "-subj", "/CN=localhost",
          "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"], root)
    return cert, key


class TlsDovecot(harness.Dovecot):
    """Dovecot with a certificate: STLS offered on `port`, implicit TLS on `tls_port`."""

    def __init__(self, root, users, cert, key, port=110, tls_port=995):
        self.cert, self.key, self.tls_port = cert, key, tls_port
        super().__init__(root, users, port=port)

    def _write_config(self):
        super()._write_config()
        with open(self.config_path) as f:
            text = f.read()
        for path in (self.cert, self.key):
            os.chmod(path, 0o644)
        text = text.replace("ssl = no\n", "ssl = yes\nssl_cert = <%s\nssl_key = <%s\n"
                            "ssl_min_protocol = TLSv1.2\n" % (self.cert, self.key))
        text = text.replace("  inet_listener pop3s {\n    port = 0\n  }",
                            "  inet_listener pop3s {\n    address = %s\n    port = %d\n"
                            "    ssl = yes\n  }" % (self.host, self.tls_port))
        with open(self.config_path, "w") as f:
            f.write(text)

    def start(self):
        super().start()
        harness.wait_for_port(self.host, self.tls_port, timeout=15.0)
        return self


def start_tls_dovecot(s, cert, key, mailboxes, users):
    s.dovecot = TlsDovecot(s.root, users, cert, key)
    for user, mails in mailboxes.items():
        for mail in mails:
            s.dovecot.add_mail(user, mail)
    s.dovecot.start()
    return s.dovecot


def trust_env(s, ca_cert):
    """The proxy's environment that makes `ca_cert` its only trusted authority. The port
    variable is emptied, so that the port named in the user name counts."""
    empty = os.path.join(s.root, "no-certs")
    os.makedirs(empty, exist_ok=True)
    return {"SSL_CERT_FILE": ca_cert, "SSL_CERT_DIR": empty, "BRINDLECAP_UPSTREAM_PORT": ""}
