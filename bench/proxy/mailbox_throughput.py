#!/usr/bin/env python3
"""Throughput of a whole mail check through the headless proxy, against fetching the same
mailbox straight from Dovecot in the same run.

    bench/proxy/mailbox_throughput.py --program build/bin/brindlecap [--small N] [--large N]

Two mailboxes: 200 mails of 20 KiB and 20 mails of 2 MiB. For each, one poplib session does
STAT and RETR of every mail (then QUIT), first directly, then through the proxy. Printed: both
times, the fixed pauses the proxy's sequences make by design (counted below), the proxy's time
without those pauses divided by the direct time, and the proxy's peak memory against the
mailbox size. Runs in a private network namespace like the whole-program tests.
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


def fixed_pauses_ms(count):
    """The pauses (sleeps without work) that the proxy's sequences make at the least for one
    session of USER, PASS, STAT, RETR of every mail and QUIT:
      USER: two reply waits (connect, USER) of at least one 20 ms step each      40
      PASS: one reply wait                                                       20
      STAT: reply wait 20, LIST reply wait 20, listing wait 5, reply sent 10      55
            per mail: the RETR reply wait (the download wait pauses only while
            the mail is still coming)                                          20 each
      RETR from the mail program: three sends waited for, 10 ms each              30 each
      QUIT: reply wait 20, idle wait 20, sent 10 (its later pauses and the Reset
            action's follow the reply, so the mail program does not wait for them)  50
    """
    return 40 + 20 + 55 + 20 * count + 30 * count + 50, 10 + 4 * count


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
        mails = {name: [make_mail(i, size) for i in range(count)] for name, count, size in boxes}
        scenario.start_dovecot(users, mails)
        print("%-22s %10s %10s %10s %10s %8s %12s" %
              ("mailbox", "direct s", "proxy s", "pauses s", "net s", "ratio", "peak/mbox"))
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
            pauses_ms, pause_count = fixed_pauses_ms(count)
            net = proxied - pauses_ms / 1000.0
            mailbox_mib = received_direct / 1048576.0
            print("%-22s %10.3f %10.3f %10.3f %10.3f %8.2f %12s" %
                  ("%d x %d KiB" % (count, size // 1024), direct, proxied, pauses_ms / 1000.0,
                   net, net / direct, "%.1f/%.1f MiB" % (peak_mib, mailbox_mib)))
            print("    %d fixed pauses, %d ms in all; peak memory %.1f MiB for a mailbox of"
                  " %.1f MiB (3 x mailbox + 30 MiB would be %.1f MiB)"
                  % (pause_count, pauses_ms, peak_mib, mailbox_mib, 3.0 * mailbox_mib + 30.0))
    finally:
        scenario.close()


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
