"""What the proxy benchmarks share: the mails, one timed session of STAT and RETR of every
mail, a proxy started afresh for each mailbox and measured, and entering the private network.
"""

import os
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
import harness  # noqa: E402

PASSWORD = "bench"

# The fixed pauses of one session of USER, PASS, STAT, RETR of every mail and QUIT that are
# not waits for a condition: QUIT's 100 ms, and the Reset action's 170 ms after it.
# All of them follow the goodbye, so the mail program does not wait for them.
FIXED_PAUSES = "QUIT 100 ms + Reset 170 ms, after the goodbye"


def make_mail(index, size):
    head = ("From: Bench <bench@example.org>\r\nTo: Alice <alice@example.org>\r\n"
            "Subject: mail %d\r\nMessage-ID: <%d@bench>\r\n\r\n" % (index, index)).encode()
    line = (b"The quick brown fox jumps over the lazy dog. " * 2)[:76] + b"\r\n"
    body = line * ((size - len(head)) // len(line) + 1)
    return head + body[: size - len(head)]


def make_box(count, size):
    """`count` mails of `size` bytes; a size of 0 asks for one 60 MiB mail and a small one."""
    if size == 0:
        return [make_mail(0, 60 * 1024 * 1024), make_mail(1, 2048)]
    return [make_mail(i, size) for i in range(count)]


def fetch(connect, user, count_expected):
    """One session made by `connect()`: USER, PASS, STAT, RETR of every mail, QUIT. The time
    includes making the connection. Returns the seconds and the octets received."""
    started = time.perf_counter()
    pop = connect()
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


def peak_memory_mib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def fetch_through_proxy(scenario, connect, user, count_expected, env=None):
    """Starts a fresh proxy, runs one session through it, waits until it listens again after
    the goodbye, and stops it. Returns the seconds, the octets received and the proxy's peak
    memory in MiB; the proxy's folder is removed, so the next mailbox starts from nothing."""
    scenario.start_proxy(env=env)
    try:
        seconds, received = fetch(connect, user, count_expected)
        scenario.proxy.wait_for_log("Awaiting connection.", timeout=30,
                                    after=len(scenario.proxy.log_lines()) - 1)
        peak = peak_memory_mib(scenario.proxy.proc.pid)
    finally:
        scenario.proxy.stop()
        shutil.rmtree(scenario.proxy.folder)
        scenario.proxy = None
    return seconds, received, peak


def binary_in_private_network(doc):
    """Enters the private network namespace (re-running the script there) and returns the
    program named by --program; prints `doc` and leaves when there is none."""
    argv = sys.argv[1:]
    harness.enter_private_network(sys.argv[0], argv)
    binary = harness._find_binary(argv)
    if not binary:
        print(doc)
        sys.exit(2)
    return binary
