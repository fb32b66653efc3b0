#!/usr/bin/env python3
"""A mailbox fetched over TLS through the headless proxy, against poplib's own POP3_SSL fetch
from the same Dovecot, in one run.

    bench/proxy/tls_throughput.py --program build/bin/brindlecap [--small N] [--large N]

Dovecot serves implicit TLS on 995 with a certificate of a test authority made with the
openssl command line; the proxy reaches it as "localhost:995/<box>" and trusts the authority
through SSL_CERT_FILE. Two mailboxes: N mails of 20 KiB and N mails of 2 MiB. For each, one
session does STAT and RETR of every mail, then QUIT: first poplib.POP3_SSL straight to
Dovecot, then plain poplib through the proxy; both times include making the connection (the
TLS handshake on the direct side). Printed: both times, their ratio and the proxy's peak
memory. The proxy's time includes the fixed pauses of bench_world.FIXED_PAUSES. Runs in a
private network namespace like the whole-program tests.
"""

import poplib
import ssl
import sys

import bench_world
import tls_world  # beside the whole-program harness, whose folder bench_world makes known
from bench_world import PASSWORD, harness


def run(binary, boxes):
    s = harness.Scenario(binary)
    try:
        ca = tls_world.Authority(s.root, "ca")
        cert, key = ca.issue("server")
        users = {name: PASSWORD for name, _, _ in boxes}
        mails = {name: bench_world.make_box(count, size) for name, count, size in boxes}
        tls_world.start_tls_dovecot(s, cert, key, mails, users)
        context = ssl.create_default_context(cafile=ca.cert)
        print("%-16s %10s %10s %8s %10s" % ("mailbox", "direct s", "proxy s", "ratio",
                                             "peak MiB"))
        for name, count, size in boxes:
            direct, received_direct = bench_world.fetch(
                lambda: poplib.POP3_SSL("127.0.0.1", 995, context=context, timeout=600), name,
                count)
            proxied, received_proxy, peak_mib = bench_world.fetch_through_proxy(
                s, lambda: poplib.POP3("127.0.0.1", s.proxy.listen_port, timeout=600),
                "localhost:995/" + name, count, env=tls_world.trust_env(s, ca.cert))
            assert received_direct == received_proxy, (received_direct, received_proxy)
            print("%-16s %10.3f %10.3f %8.2f %10.1f" %
                  ("%d x %d KiB" % (count, size // 1024), direct, proxied, proxied / direct,
                   peak_mib))
            sys.stdout.flush()
        print("fixed pauses in each proxied session: " + bench_world.FIXED_PAUSES)
    finally:
        s.close()


def main():
    binary = bench_world.binary_in_private_network(__doc__)
    argv = sys.argv[1:]
    small = int(argv[argv.index("--small") + 1]) if "--small" in argv else 200
    large = int(argv[argv.index("--large") + 1]) if "--large" in argv else 20
    run(binary, [("small", small, 20 * 1024), ("large", large, 2 * 1024 * 1024)])


if __name__ == "__main__":
    main()
