#!/usr/bin/env python3
"""A mailbox fetched over TLS through the headless proxy, against poplib's own POP3_SSL fetch
from the same Dovecot, in one run.

    bench/proxy/tls_throughput.py --program build/bin/brindlecap [--small N] [--large N]

Dovecot serves implicit TLS on 995 with a certificate of a test authority made with the
openssl command line; the proxy reaches it as "localhost:995/<box>" and trusts the authority
through SSL_CERT_FILE. Two mailboxes: N mails of 20 KiB and N mails of 2 MiB. For each, one
session does STAT and RETR of every mail, then QUIT: first poplib.POP3_SSL straight to
Dovecot, then plain poplib through the proxy. Printed: both times and proxy/direct. The
proxy's time includes its fixed pauses by design (see mailbox_throughput.py), which the last
column takes out. Runs in a private network namespace like the whole-program tests.
"""

import os
import poplib
import shutil
import ssl
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
sys.path.insert(0, HERE)
import harness  # noqa: E402
import tls_world  # noqa: E402
from mailbox_throughput import fixed_pauses_ms, make_mail  # noqa: E402

PASSWORD = "bench"


def fetch(pop, user, count_expected):
    started = time.perf_counter()
    pop.user(user)
    pop.pass_(PASSWORD)
    count, _ = pop.stat()
    assert count == count_expected, (count, count_expected)
    received = 0
    for i in range(1, count + 1):
        _, _, octets = pop.retr(i)
        received += octets
    pop.quit()
    return time.perf_counter() - started, received


def run(binary, boxes):
    s = harness.Scenario(binary)
    try:
        ca = tls_world.Authority(s.root, "ca")
        cert, key = ca.issue("server")
        users = {name: PASSWORD for name, _, _ in boxes}
        mails = {name: [make_mail(i, size) for i in range(count)] for name, count, size in boxes}
        tls_world.start_tls_dovecot(s, cert, key, mails, users)
        context = ssl.create_default_context(cafile=ca.cert)
        print("%-16s %10s %10s %8s %12s" %
              ("mailbox", "direct s", "proxy s", "ratio", "w/o pauses"))
        for name, count, size in boxes:
            direct_pop = poplib.POP3_SSL("127.0.0.1", 995, context=context, timeout=600)
            direct, received_direct = fetch(direct_pop, name, count)
            s.start_proxy(env=tls_world.trust_env(s, ca.cert))
            proxy_pop = poplib.POP3("127.0.0.1", s.proxy.listen_port, timeout=600)
            proxied, received_proxy = fetch(proxy_pop, "localhost:995/" + name, count)
            s.proxy.stop()
            shutil.rmtree(s.proxy.folder)
            s.proxy = None
            assert received_direct == received_proxy, (received_direct, received_proxy)
            pauses_ms, _ = fixed_pauses_ms(count)
            print("%-16s %10.3f %10.3f %8.2f %12.2f" %
                  ("%d x %d KiB" % (count, size // 1024), direct, proxied, proxied / direct,
                   (proxied - pauses_ms / 1000.0) / direct))
    finally:
        s.close()


def main():
    argv = sys.argv[1:]
    harness.enter_private_network(__file__, argv)
    binary = harness._find_binary(argv)
    if not binary:
        print(__doc__)
        sys.exit(2)
    small = int(argv[argv.index("--small") + 1]) if "--small" in argv else 200
    large = int(argv[argv.index("--large") + 1]) if "--large" in argv else 20
    run(binary, [("small", small, 20 * 1024), ("large", large, 2 * 1024 * 1024)])


if __name__ == "__main__":
    main()
