#!/usr/bin/env python3
"""Commands are lines: the headless proxy between a raw mail program and Dovecot, with
commands split at any byte, several commands in one write, commands sent while a download
runs, and junk without a line end."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
GREETING = b"+OK Welcome to vevazurod"
NOT_SUPPORTED = b'-ERR This POP3-Command is not supported by "Brindlecap"!'


def mail(subject, body_lines=3, width=60):
    body = "".join("line %d of %s %s\n" % (i, subject, "x" * width) for i in range(body_lines))
    return harness.crlf("From: Bob <bob@example.org>\nTo: Alice <alice@example.org>\n"
                        "Subject: %s\n\n%s.starts with a dot\n" % (subject, body))


def expect(actual, wanted):
    if actual != wanted:
        raise AssertionError("expected %r, got %r" % (wanted, actual))


def logged_in(s, mails):
    s.start_dovecot({USER: PASSWORD}, {USER: mails})
    s.start_proxy()
    c = s.connect_raw()
    expect(c.line(), GREETING)
    c.send(b"USER 127.0.0.1/" + USER.encode() + b"\r\nPASS " + PASSWORD.encode() + b"\r\n")
    expect(c.line(), b"+OK")
    expect(c.line(), b"+OK Logged in.")
    return c


def multiline(c):
    """The lines of a multi-line reply up to its terminating ".", still byte-stuffed."""
    lines = []
    while True:
        line = c.line()
        if line is None:
            raise AssertionError("multi-line reply cut short after %r" % lines[-3:])
        if line == b".":
            return lines
        lines.append(line)


def served(stuffed_lines):
    return b"".join((l[1:] if l.startswith(b"..") else l) + b"\r\n" for l in stuffed_lines)


def test_retr_split_at_every_byte_gets_exactly_one_reply(s):
    mails = [mail("one"), mail("two")]
    c = logged_in(s, mails)
    c.send(b"STAT\r\n")
    expect(c.line(), b"+OK 2 %d" % sum(len(m) for m in mails))
    command = b"RETR 1\r\n"
    for at in range(1, len(command)):
        c.send(command[:at])
        time.sleep(0.2)
        c.send(command[at:])
        expect(c.line(), b"+OK Message follows")
        expect(served(multiline(c)), mails[0])
        # The next reply answers the next command: nothing was left over from the split.
        c.send(b"STAT\r\n")
        expect(c.line(), b"+OK 2 %d" % sum(len(m) for m in mails))
    c.send(b"QUIT\n")
    expect(c.line(), b"+OK Vevazurod quits")
    if not c.closed():
        raise AssertionError("the connection stayed open after QUIT")


def test_several_commands_in_one_write_are_answered_in_order(s):
    mails = [mail("one"), mail("two"), mail("three")]
    c = logged_in(s, mails)
    c.send(b"STAT\r\nLIST\r\nRETR 2\r\nNOOP\r\nRETR 3\nDELE 1\r\nQUIT\r\n")
    expect(c.line(), b"+OK 3 %d" % sum(len(m) for m in mails))
    expect(c.line(), b"+OK Listing follows")
    expect(multiline(c), [b"%d %d" % (i + 1, len(m)) for i, m in enumerate(mails)])
    expect(c.line(), b"+OK Message follows")
    expect(served(multiline(c)), mails[1])
    expect(c.line(), b"+OK")
    expect(c.line(), b"+OK Message follows")
    expect(served(multiline(c)), mails[2])
    expect(c.line(), b"+OK Marked to be deleted.")
    expect(c.line(), b"+OK Vevazurod quits")
    if not c.closed():
        raise AssertionError("the connection stayed open after QUIT")
    expect(s.dovecot.mail_count(USER), 2)


def test_two_commands_in_two_writes_during_the_download(s):
    # Large enough that the download is still running when the next commands arrive.
    mails = [mail("big %d" % i, body_lines=20000) for i in range(8)]
    c = logged_in(s, mails)
    mark = s.proxy.mark()
    c.send(b"STAT\r\n")
    s.proxy.wait_for_log("Mailarray contains", after=mark, timeout=30)
    c.send(b"LIST\r\n")
    time.sleep(0.05)
    c.send(b"RETR 1\r\n")
    still_downloading = not any("All mails successfully downloaded." in l
                                for l in s.proxy.log_lines(settle=False)[mark:])
    expect(c.line(timeout=120), b"+OK 8 %d" % sum(len(m) for m in mails))
    expect(c.line(), b"+OK Listing follows")
    expect(multiline(c), [b"%d %d" % (i + 1, len(m)) for i, m in enumerate(mails)])
    expect(c.line(), b"+OK Message follows")
    expect(served(multiline(c)), mails[0])
    if not still_downloading:
        raise AssertionError("the download ended before the commands were sent; "
                             "the test proves nothing")
    c.send(b"QUIT\r\n")
    expect(c.line(), b"+OK Vevazurod quits")


def test_junk_without_a_line_end_gets_one_reply_and_the_session_goes_on(s):
    mails = [mail("one")]
    c = logged_in(s, mails)
    for _ in range(64):
        c.send(b"J" * 1024)
    c.send(b"\r\nSTAT\r\n")
    expect(c.line(), NOT_SUPPORTED)
    expect(c.line(), b"+OK 1 %d" % len(mails[0]))
    expect(c.lines_until_quiet(quiet=1.0), [])
    c.send(b"QUIT\r\n")
    expect(c.line(), b"+OK Vevazurod quits")


if __name__ == "__main__":
    harness.main(__file__, globals())
