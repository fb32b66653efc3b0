#!/usr/bin/env python3
"""Real mail programs with their default settings (only what any plain-text POP3 server asks
of them) fetching through the headless program from Dovecot: fetchmail, mpop, getmail,
neomutt and curl, and poplib for the commands no program here sends (TOP n 0 before each
RETR, NOOP, RSET). A recorder between each program and the proxy keeps what it sent."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import mail_programs as mp  # noqa: E402

USERS = {"alice": "s3cret-pw"}
ACCOUNT = "127.0.0.1/alice"
RECORDER_PORT = 2111


def mail(n, extra=""):
    return harness.crlf("From: Bob <bob@example.org>\nTo: Alice <alice@example.org>\n"
                        "Subject: mail %d\nMessage-ID: <m%d@example.org>\n\nbody of mail %d\n"
                        ".a line that starts with a dot\n%s" % (n, n, n, extra))


def world(s, mails):
    s.start_dovecot(USERS, {"alice": mails})
    s.start_proxy()
    recorder = mp.Recorder(RECORDER_PORT, s.proxy.listen_port).start()
    s.clients.append(recorder)
    return recorder


def expect_ok(run):
    if run.returncode != 0:
        raise AssertionError("the mail program failed: %r" % run)


def expect_subjects(mails, numbers):
    got = sorted(m for m in mails)
    want = ["mail %d" % n for n in numbers]
    subjects = sorted(_subject(m) for m in got)
    if subjects != sorted(want):
        raise AssertionError("delivered %r, wanted %r" % (subjects, want))
    for m in mails:
        if b"\r\n..a line" in m or b"\n..a line" in m:
            raise AssertionError("a stuffed dot reached the mailbox:\n%r" % m)
        if b"\n.a line that starts with a dot" not in m:
            raise AssertionError("the dot line is missing:\n%r" % m)


def _subject(m):
    for line in m.replace(b"\r\n", b"\n").split(b"\n"):
        if line.startswith(b"Subject: "):
            return line[len(b"Subject: "):].decode()
    return None


def expect_in_order(keywords, wanted):
    """`wanted` appears in `keywords` as a subsequence."""
    at = 0
    for k in keywords:
        if at < len(wanted) and k == wanted[at]:
            at += 1
    if at != len(wanted):
        raise AssertionError("commands %r do not hold %r in order" % (keywords, wanted))


def expect_server_count(s, n):
    if s.dovecot.mail_count("alice") != n:
        raise AssertionError("the server holds %d mails, wanted %d" %
                             (s.dovecot.mail_count("alice"), n))


def listens_again(s):
    harness.wait_for_listening(s.proxy.listen_port, timeout=10.0)


# ---------------------------------------------------------------------------------------------
# fetchmail


def test_fetchmail_keeping_mail_fetches_only_new_mail_on_its_second_run(s):
    rec = world(s, [mail(1), mail(2)])
    fm = mp.Fetchmail(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=True)
    expect_ok(fm.run())
    expect_subjects(fm.mails(), [1, 2])
    expect_in_order(rec.keywords(1), ["CAPA", "USER", "PASS", "STAT", "UIDL", "RETR", "QUIT"])
    expect_server_count(s, 2)
    listens_again(s)
    s.dovecot.add_mail("alice", mail(3))
    expect_ok(fm.run())
    expect_subjects(fm.mails(), [1, 2, 3])
    if rec.commands(2).count("RETR 3") != 1 or any(
            c in ("RETR 1", "RETR 2") for c in rec.commands(2)):
        raise AssertionError("second run fetched %r" % rec.commands(2))
    expect_server_count(s, 3)


def test_fetchmail_deleting_mail_fetches_with_top(s):
    rec = world(s, [mail(1), mail(2)])
    fm = mp.Fetchmail(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=False)
    expect_ok(fm.run())
    expect_subjects(fm.mails(), [1, 2])
    expect_in_order(rec.keywords(1), ["CAPA", "STAT", "UIDL", "TOP", "DELE", "TOP", "DELE",
                                      "QUIT"])
    expect_server_count(s, 0)
    # An empty mailbox is no failure either (fetchmail says so with its own status 1).
    listens_again(s)
    run = fm.run()
    if run.returncode != 1 or "No mail" not in run.output:
        raise AssertionError("an empty mailbox: %r" % run)


# ---------------------------------------------------------------------------------------------
# mpop


def test_mpop_keeping_mail_fetches_only_new_mail_on_its_second_run(s):
    rec = world(s, [mail(1), mail(2)])
    m = mp.Mpop(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=True)
    expect_ok(m.run())
    expect_subjects(m.mails(), [1, 2])
    expect_in_order(rec.keywords(1), ["CAPA", "USER", "PASS", "STAT", "LIST", "UIDL", "RETR",
                                      "RETR", "QUIT"])
    listens_again(s)
    s.dovecot.add_mail("alice", mail(3))
    expect_ok(m.run())
    expect_subjects(m.mails(), [1, 2, 3])
    if [c for c in rec.commands(2) if c.startswith("RETR")] != ["RETR 3"]:
        raise AssertionError("second run: %r" % rec.commands(2))
    expect_server_count(s, 3)


def test_mpop_deleting_mail(s):
    world(s, [mail(1), mail(2)])
    m = mp.Mpop(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=False)
    expect_ok(m.run())
    expect_subjects(m.mails(), [1, 2])
    expect_server_count(s, 0)


# ---------------------------------------------------------------------------------------------
# getmail


def test_getmail_fetches_only_new_mail_and_takes_an_empty_mailbox_calmly(s):
    rec = world(s, [mail(1), mail(2)])
    g = mp.Getmail(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=True)
    expect_ok(g.run())
    expect_subjects(g.mails(), [1, 2])
    expect_in_order(rec.keywords(1), ["USER", "PASS", "UIDL", "LIST", "RETR", "RETR", "QUIT"])
    listens_again(s)
    s.dovecot.add_mail("alice", mail(3))
    expect_ok(g.run())
    expect_subjects(g.mails(), [1, 2, 3])
    if [c for c in rec.commands(2) if c.startswith("RETR")] != ["RETR 3"]:
        raise AssertionError("second run: %r" % rec.commands(2))


def test_getmail_deleting_mail_and_finding_none_next_time(s):
    world(s, [mail(1), mail(2)])
    g = mp.Getmail(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=False)
    expect_ok(g.run())
    expect_subjects(g.mails(), [1, 2])
    expect_server_count(s, 0)
    listens_again(s)
    # getmail takes "-ERR" to LIST as a failure: an empty mailbox must list as empty.
    run = g.run()
    expect_ok(run)
    if "0 messages (0 bytes) retrieved" not in run.output:
        raise AssertionError("an empty mailbox: %r" % run)


# ---------------------------------------------------------------------------------------------
# neomutt


def test_neomutt_fetches_and_deletes(s):
    rec = world(s, [mail(1), mail(2)])
    n = mp.Neomutt(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"], keep=False)
    expect_ok(n.run())
    expect_subjects(n.mails(), [1, 2])
    expect_in_order(rec.keywords(1), ["CAPA", "USER", "PASS", "STAT", "RETR", "DELE", "RETR",
                                      "DELE", "QUIT"])
    expect_server_count(s, 0)


# ---------------------------------------------------------------------------------------------
# curl


def test_curl_lists_and_fetches(s):
    rec = world(s, [mail(1), mail(2)])
    c = mp.Curl(s.root, RECORDER_PORT, ACCOUNT, USERS["alice"])
    listing = c.run()
    expect_ok(listing)
    lines = listing.output.split()
    if lines[0::2] != ["1", "2"]:
        raise AssertionError("curl listed %r" % listing.output)
    listens_again(s)
    one = c.run(2)
    expect_ok(one)
    if "Subject: mail 2" not in one.output or "\n.a line that starts" not in one.output:
        raise AssertionError("curl fetched %r" % one.output)
    if "STAT" in rec.keywords():
        raise AssertionError("curl sent STAT: %r" % rec.commands())


# ---------------------------------------------------------------------------------------------
# poplib: the commands no program above sends, and what the others send, by hand


def test_capa_uidl_top_noop_rset_through_poplib(s):
    s.start_dovecot(USERS, {"alice": [mail(1), mail(2), mail(3)]})
    direct = s.direct()
    direct.user("alice")
    direct.pass_(USERS["alice"])
    server_ids = direct.uidl()[1]
    direct.quit()
    s.start_proxy()
    c = s.connect()
    caps = c.pop.capa()
    if sorted(caps) != ["IMPLEMENTATION", "PIPELINING", "TOP", "UIDL", "USER"] or \
            caps["IMPLEMENTATION"] != ["Brindlecap"]:
        raise AssertionError("CAPA said %r" % caps)
    if c.login("127.0.0.1", "alice", USERS["alice"]) != b"+OK Logged in.":
        raise AssertionError("login failed")
    # No STAT: the first UIDL checks the mailbox first. The ids are the server's own.
    resp, ids, _ = c.pop.uidl()
    if ids != server_ids:
        raise AssertionError("UIDL %r, the server says %r" % (ids, server_ids))
    if c.pop.uidl(2) != b"+OK " + server_ids[1]:
        raise AssertionError("UIDL 2 said %r" % c.pop.uidl(2))
    if c.pop.noop() != b"+OK":
        raise AssertionError("NOOP")
    for n in (1, 2, 3):
        # As some programs do: the header alone before each RETR.
        _, head, _ = c.pop.top(n, 0)
        _, whole, _ = c.pop.retr(n)
        if whole[:len(head)] != head or head[-1] != b"" or b"Subject: mail %d" % n not in head:
            raise AssertionError("TOP %d 0 gave %r for %r" % (n, head, whole))
        _, two, _ = c.pop.top(n, 2)
        if two != whole[:len(head) + 2]:
            raise AssertionError("TOP %d 2 gave %r" % (n, two))
    c.pop.dele(1)
    c.pop.dele(2)
    if not c.pop.rset().startswith(b"+OK"):
        raise AssertionError("RSET refused")
    c.pop.dele(3)
    if c.pop.quit() != b"+OK Vevazurod quits":
        raise AssertionError("QUIT")
    # RSET undid the first two deletions.
    expect_server_count(s, 2)
    listens_again(s)
    c = s.connect()
    c.login("127.0.0.1", "alice", USERS["alice"])
    if c.pop.uidl()[1] != server_ids[:2]:
        raise AssertionError("the ids changed across sessions")


def test_uidl_at_store_positions_after_the_policy_deleted_a_mail(s):
    evil = harness.crlf(
        "From: m@example.net\nTo: alice@example.org\nSubject: evil\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nhi\n"
        "--b\nContent-Type: application/octet-stream; name=\"x.exe\"\n"
        "Content-Disposition: attachment; filename=\"x.exe\"\n"
        "Content-Transfer-Encoding: base64\n\nQUJD\n--b--\n")
    s.start_dovecot(USERS, {"alice": [mail(1), evil, mail(3)]})
    direct = s.direct()
    direct.user("alice")
    direct.pass_(USERS["alice"])
    server_ids = [line.split()[1] for line in direct.uidl()[1]]
    direct.quit()
    s.start_proxy(registry={"Aktion": 2})
    c = s.connect()
    c.login("127.0.0.1", "alice", USERS["alice"])
    ids = c.pop.uidl()[1]
    if ids != [b"1 " + server_ids[0], b"2 " + server_ids[2]]:
        raise AssertionError("UIDL %r for server ids %r" % (ids, server_ids))
    # Some programs send STAT twice: the second check sees the policy's deletion as a gap.
    if c.pop.stat()[0] != 2 or c.pop.stat()[0] != 2:
        raise AssertionError("STAT")
    c.pop.dele(1)
    c.pop.rset()
    c.pop.quit()
    # RSET undid the mail program's deletion, not the policy's.
    expect_server_count(s, 2)


# ---------------------------------------------------------------------------------------------
# A mail program that drops the line in the middle of STAT and comes back


def _drop_during_stat(s, many):
    c = s.connect_raw()
    c.line()
    c.send(b"USER " + ACCOUNT.encode() + b"\r\nPASS " + USERS["alice"].encode() + b"\r\n")
    c.line()
    c.line()
    c.send(b"STAT\r\n")
    s.proxy.wait_for_log("STAT sent ok")
    c.close()
    s.proxy.wait_for_log("Mail program left without QUIT - server session dropped, "
                         "listening again.")
    listens_again(s)


def test_a_program_that_drops_in_the_middle_of_stat_gets_its_mail_when_it_comes_back(s):
    big = [mail(n, "x" * 200 + "\n") * 1 for n in range(1, 41)]
    s.start_dovecot(USERS, {"alice": big})
    s.start_proxy()
    _drop_during_stat(s, big)
    m = mp.Mpop(s.root, s.proxy.listen_port, ACCOUNT, USERS["alice"], keep=True)
    expect_ok(m.run())
    expect_subjects(m.mails(), list(range(1, 41)))
    expect_server_count(s, 40)


def _windowed_proxy(s, registry):
    """The program with its window (drawn offscreen): no log on standard output then, so the
    tests watch the port."""
    s.start_proxy(registry=registry, wait=False,
                  env={"BRINDLECAP_HEADLESS": "0", "QT_QPA_PLATFORM": "offscreen"})
    harness.wait_for_listening(s.proxy.listen_port, timeout=20.0)


def _drop_during_stat_unseen(s):
    c = s.connect_raw()
    c.line()
    c.send(b"USER " + ACCOUNT.encode() + b"\r\nPASS " + USERS["alice"].encode() + b"\r\n")
    c.line()
    c.line()
    c.send(b"STAT\r\n")
    time.sleep(0.2)
    c.close()


def test_with_a_window_the_setting_makes_the_service_listen_again(s):
    mails = [mail(n) for n in range(1, 21)]
    s.start_dovecot(USERS, {"alice": mails})
    _windowed_proxy(s, {"ListenAfterDrop": 1})
    _drop_during_stat_unseen(s)
    listens_again(s)
    m = mp.Mpop(s.root, s.proxy.listen_port, ACCOUNT, USERS["alice"], keep=True)
    expect_ok(m.run())
    expect_subjects(m.mails(), list(range(1, 21)))


def test_with_a_window_and_without_the_setting_the_service_waits_for_reset(s):
    s.start_dovecot(USERS, {"alice": [mail(1)]})
    _windowed_proxy(s, {})
    _drop_during_stat_unseen(s)
    deadline = time.monotonic() + 3.0
    while time.monotonic() < deadline:
        if not harness.port_is_listening(s.proxy.listen_port):
            break
        time.sleep(0.05)
    time.sleep(1.0)
    if harness.port_is_listening(s.proxy.listen_port):
        raise AssertionError("the service listens again without the setting")


if __name__ == "__main__":
    harness.main(__file__, globals())
