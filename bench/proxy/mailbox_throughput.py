#!/usr/bin/env python3
"""Throughput and peak memory of a whole mail check through the headless proxy, against
fetching the same mailbox straight from Dovecot in the same run.

    bench/proxy/mailbox_throughput.py --program build/bin/brindlecap [--quick]

Mailboxes: 200 mails of 20 KiB, 20 mails of 2 MiB, 2,000 mails of 2 KiB, and one mail of
60 MiB with a small one. For each, one poplib session does STAT and RETR of every mail (then
QUIT), first directly, then through a freshly started proxy. Printed: both times and their
ratio, and the proxy's peak memory against 1.5 x mailbox + 20 MiB. The ratios include every
fixed pause that remains in the proxy's sequences (see FIXED_PAUSES). --quick leaves out the
2,000-mail and the 60 MiB mailboxes. Runs in a private network namespace like the
whole-program tests.
"""

import os
import poplib
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
import harness  # noqa: E402

PASSWORD = "bench"


def make_mail(index, size):
    head = ("From: Bench <bench@example.org>\r\nTo: Alice <alice@example.org>\r\n"
            "Subject: mail %d\r\nMessage-ID: <%d@bench>\r\n\r\n" % (index, index)).encode()
    line = (b"The quick brown fox jumps over the lazy dog. " * 2)[:76] + b"\r\n"
    body = line * ((size - len(head)) // len(line) + 1)
    return head + body[: size - len(head)]


# The fixed pauses of one session of USER, PASS, STAT, RETR of every mail and QUIT that are
# not waits for a condition: QUIT's 50 ms and 100 ms, and the Reset action's 170 ms after it.
# All of them follow the goodbye, so the mail program does not wait for them.
FIXED_PAUSES = "QUIT 150 ms + Reset 170 ms, after the goodbye"


def fetch(port, user, count_expected):
    started = time.perf_counter()
    pop = poplib.POP3("127.0.0.1", port, timeout=600)
    pop.user(user)
    pop.pass_(PASSWORD)
    count, total = pop.stat()
    assert count == count_expected, (count, count_expected)
    received = 0
    for i in range(1, count + 1):
        _, _, octets = pop.retr(i)
        received += octets
    pop.quit()
    return time.perf_counter() - started, received


def peak_memory_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def run(binary, boxes):
    scenario = harness.Scenario(binary)
    try:
        users = {name: PASSWORD for name, _, _ in boxes}
        mails = {name: make_box(count, size) for name, count, size in boxes}
        scenario.start_dovecot(users, mails)
        print("%-26s %9s %9s %8s %7s %11s %11s" %
              ("mailbox", "direct s", "proxy s", "ratio", "goal", "peak MiB", "goal MiB"))
        for name, count, size in boxes:
            direct, received_direct = fetch(scenario.dovecot.port, name, count)
            scenario.start_proxy()
            proxied, received_proxy = fetch(scenario.proxy.listen_port,
                                            "127.0.0.1/" + name, count)
            scenario.proxy.wait_for_log("Awaiting connection.", timeout=30,
                                        after=len(scenario.proxy.log_lines()) - 1)
            peak_mib = peak_memory_kib(scenario.proxy.proc.pid) / 1024.0
            scenario.proxy.stop()
            shutil.rmtree(scenario.proxy.folder)
            scenario.proxy = None
            assert received_direct == received_proxy, (received_direct, received_proxy)
            mailbox_mib = received_direct / 1048576.0
            print("%-26s %9.3f %9.3f %8.2f %7s %11.1f %11.1f" %
                  (LABELS[name], direct, proxied, proxied / direct, RATIO_GOALS[name], peak_mib,
                   1.5 * mailbox_mib + 20.0))
            sys.stdout.flush()
        print("fixed pauses in each proxied session: " + FIXED_PAUSES)
    finally:
        scenario.close()


def make_box(count, size):
    if size == 0:  # one 60 MiB mail and a small one
        return [make_mail(0, 60 * 1024 * 1024), make_mail(1, 2048)]
    return [make_mail(i, size) for i in range(count)]


LABELS = {"small": "200 x 20 KiB", "large": "20 x 2 MiB", "many": "2000 x 2 KiB",
          "huge": "60 MiB + 2 KiB"}
RATIO_GOALS = {"small": "<=1.5", "large": "<=1.2", "many": "<=2", "huge": "-"}


def main():
    argv = sys.argv[1:]
    harness.enter_private_network(__file__, argv)
    binary = harness._find_binary(argv)
    if not binary:
        print(__doc__)
        sys.exit(2)
    boxes = [("small", 200, 20 * 1024), ("large", 20, 2 * 1024 * 1024)]
    if "--quick" not in argv:
        boxes += [("many", 2000, 2 * 1024), ("huge", 2, 0)]
    run(binary, boxes)


if __name__ == "__main__":
    main()
