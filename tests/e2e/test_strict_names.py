#!/usr/bin/env python3
"""Strict attachment names through the whole program: disguised names are renamed (or their
mail deleted) with the setting on, harmless look-alikes pass byte for byte, and with the
setting off the old rule holds exactly."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
NOTICE = b"NOTICE: renamed."


def mail(subject, header, body="TVqQAAMAAAAEAAAA"):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\nTo: Alice <alice@example.org>\n"
        "Subject: %s\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b1\"\n\n"
        "--b1\nContent-Type: text/plain\n\nhello\n--b1\n%s\n\n%s\n--b1--\n" %
        (subject, header, body))


DISGUISED = [
    mail("rfc2231", "Content-Type: application/octet-stream\n"
         "Content-Disposition: attachment; filename*1=\".exe\"; filename*0*=utf-8''invoice"),
    mail("encoded", "Content-Type: application/octet-stream\n"
         "Content-Disposition: attachment; filename=\"=?utf-8?B?cnVuLmpz?=\""),
    mail("name only", "Content-Type: application/x-msdownload; NAME=tool.exe"),
    mail("trailing dot", "Content-Type: application/octet-stream\n"
         "Content-Disposition: inline; filename=\"setup.exe.\""),
    mail("description", "Content-Type: application/octet-stream\n"
         "Content-Description: update.bat"),
]
HARMLESS = [
    mail("two dots", "Content-Type: image/png\n"
         "Content-Disposition: inline; filename=\"logo.exe.png\""),
    mail("quoted", "Content-Type: text/plain", "Do not run setup.exe from strangers."),
]


def fetch(s, mails, registry):
    s.start_dovecot({USER: PASSWORD}, {USER: mails})
    s.start_proxy(registry=registry,
                  files={"RenameTXT.txt": NOTICE + b"\r\n", "RenameHTML.txt": b"<p>N</p>\r\n"})
    client = s.connect()
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    count, _ = client.pop.stat()
    got = [b"".join(l + b"\r\n" for l in client.pop.retr(i)[1]) for i in range(1, count + 1)]
    return client, got


def test_strict_names_rename_every_disguise_and_leave_look_alikes_alone(s):
    client, got = fetch(s, DISGUISED + HARMLESS, {"StrictAttachmentNames": 1})
    assert len(got) == len(DISGUISED) + len(HARMLESS)
    for original, served in zip(DISGUISED, got):
        assert b"BLOCKED" in served and NOTICE in served, served
        assert served != original
    assert got[len(DISGUISED):] == HARMLESS
    log = s.proxy.log()
    for name in ("invoice.exe", "run.js", "tool.exe", "setup.exe", "update.bat"):
        assert "Blocking Attachment: " + name in log, (name, log)
    assert "Found in: Content-Description" in log
    assert "not served" not in log, log
    assert client.pop.quit().startswith(b"+OK")


def test_strict_names_under_the_delete_action(s):
    client, got = fetch(s, DISGUISED + HARMLESS, {"StrictAttachmentNames": 1, "Aktion": 2})
    assert got == HARMLESS
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == len(HARMLESS)


def test_without_the_setting_the_old_rule_holds(s):
    client, got = fetch(s, DISGUISED + HARMLESS, {})
    # The old rule sees only the trailing-dot name ("setup.exe." has the extension "exe.",
    # which no group holds): every mail passes as it came.
    assert got == DISGUISED + HARMLESS
    assert "RENAMING" not in s.proxy.log()
    assert client.pop.quit().startswith(b"+OK")


if __name__ == "__main__":
    harness.main(__file__, globals())
