#!/usr/bin/env python3
"""Throughput and peak memory of a whole mail check through the headless proxy, against
fetching the same mailbox straight from Dovecot in the same run.

    bench/proxy/mailbox_throughput.py --program build/bin/brindlecap [--quick]

Mailboxes: 200 mails of 20 KiB, 20 mails of 2 MiB, 2,000 mails of 2 KiB, and one mail of
60 MiB with a small one. For each, one poplib session does STAT and RETR of every mail (then
QUIT), first directly, then through a freshly started proxy. Printed: both times and their
ratio, and the proxy's peak memory against 1.5 x mailbox + 20 MiB. The ratios include every
fixed pause that remains in the proxy's sequences (see bench_world.FIXED_PAUSES). --quick
leaves out the 2,000-mail and the 60 MiB mailboxes. Runs in a private network namespace like
the whole-program tests.
"""

import poplib
import sys

import bench_world
from bench_world import PASSWORD, harness

LABELS = {"small": "200 x 20 KiB", "large": "20 x 2 MiB", "many": "2000 x 2 KiB",
          "huge": "60 MiB + 2 KiB"}
RATIO_GOALS = {"small": "<=1.5", "large": "<=1.2", "many": "<=2", "huge": "-"}


def run(binary, boxes):
    scenario = harness.Scenario(binary)
    try:
        users = {name: PASSWORD for name, _, _ in boxes}
        mails = {name: bench_world.make_box(count, size) for name, count, size in boxes}
        scenario.start_dovecot(users, mails)
        print("%-26s %9s %9s %8s %7s %11s %11s" %
              ("mailbox", "direct s", "proxy s", "ratio", "goal", "peak MiB", "goal MiB"))
        for name, count, size in boxes:
            direct, received_direct = bench_world.fetch(
                lambda: poplib.POP3("127.0.0.1", scenario.dovecot.port, timeout=600), name,
                count)
            proxied, received_proxy, peak_mib = bench_world.fetch_through_proxy(
                scenario,
                lambda: poplib.POP3("127.0.0.1", scenario.proxy.listen_port, timeout=600),
                "127.0.0.1/" + name, count)
            assert received_direct == received_proxy, (received_direct, received_proxy)
            mailbox_mib = received_direct / 1048576.0
            print("%-26s %9.3f %9.3f %8.2f %7s %11.1f %11.1f" %
                  (LABELS[name], direct, proxied, proxied / direct, RATIO_GOALS[name], peak_mib,
                   1.5 * mailbox_mib + 20.0))
            sys.stdout.flush()
        print("fixed pauses in each proxied session: " + bench_world.FIXED_PAUSES)
    finally:
        scenario.close()


def main():
    binary = bench_world.binary_in_private_network(__doc__)
    boxes = [("small", 200, 20 * 1024), ("large", 20, 2 * 1024 * 1024)]
    if "--quick" not in sys.argv[1:]:
        boxes += [("many", 2000, 2 * 1024), ("huge", 2, 0)]
    run(binary, boxes)


if __name__ == "__main__":
    main()
