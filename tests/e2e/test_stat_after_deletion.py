#!/usr/bin/env python3
"""STAT sent again after mails were deleted in the same session (some mail programs always
send STAT twice): the server keeps the deleted numbers taken, and the proxy fetches the
numbers Dovecot lists rather than 1 to the count."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"


def plain(subject):
    return harness.crlf("From: Bob <bob@example.org>\nTo: Alice <alice@example.org>\n"
                        "Subject: %s\n\nHello, this is %s.\n" % (subject, subject))


def blocked(subject, filename):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\nTo: Alice <alice@example.org>\n"
        "Subject: %s\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"--=_part\"\n\n"
        "This is a multi-part message in MIME format.\n"
        "----=_part\nContent-Type: text/plain; charset=us-ascii\n\nOpen it.\n"
        "----=_part\nContent-Type: application/octet-stream; name=\"%s\"\n"
        "Content-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"%s\"\n\n"
        "QUJD\n----=_part--\n" % (subject, filename, filename))


def expect(actual, wanted):
    if actual != wanted:
        raise AssertionError("expected %r, got %r" % (wanted, actual))


def retr(pop, n):
    _, lines, _ = pop.retr(n)
    return b"".join(l + b"\r\n" for l in lines)


def test_stat_again_after_the_policy_and_the_mail_program_deleted(s):
    mails = [plain("one"), blocked("two", "two.exe"), blocked("three", "three.vbs"), plain("four")]
    s.start_dovecot({USER: PASSWORD}, {USER: mails})
    s.start_proxy(registry={"Aktion": 2})
    c = s.connect()
    expect(c.login("127.0.0.1", USER, PASSWORD), b"+OK Logged in.")
    kept = (2, len(mails[0]) + len(mails[3]))
    # The delete action removes mails 2 and 3 on the server during the first STAT.
    expect(c.pop.stat(), kept)
    expect(c.pop.stat(), kept)
    expect(retr(c.pop, 1), mails[0])
    expect(retr(c.pop, 2), mails[3])
    expect(c.pop.dele(1), b"+OK Marked to be deleted.")
    expect(c.pop.stat(), (1, len(mails[3])))
    expect(retr(c.pop, 1), mails[3])
    expect(c.pop.quit(), b"+OK Vevazurod quits")
    log = s.proxy.log()
    if "Error during download" in log or "Download failed" in log:
        raise AssertionError("a download failed:\n" + log)
    expect(s.dovecot.mail_count(USER), 1)


if __name__ == "__main__":
    harness.main(__file__, globals())
