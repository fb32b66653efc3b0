#!/usr/bin/env python3
"""Blocked attachments behind the boundaries real mail programs write: most of them do not
begin their boundary with dashes, and such a mail must not pass with its attachment intact
while the log says it was renamed."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
TEXT_NOTICE = b"NOTICE: an attachment of this mail was renamed."
HTML_NOTICE = b"<p>HTML NOTICE: an attachment was renamed.</p>"


def mail(boundary, filename):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\n"
        "To: Alice <alice@example.org>\n"
        "Subject: invoice\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"%(b)s\"\n"
        "\n"
        "--%(b)s\n"
        "Content-Type: multipart/alternative; boundary=\"alt-%(b)s\"\n"
        "\n"
        "--alt-%(b)s\n"
        "Content-Type: text/plain; charset=\"UTF-8\"\n"
        "\n"
        "Please see the attachment.\n"
        "--alt-%(b)s\n"
        "Content-Type: text/html; charset=\"UTF-8\"\n"
        "\n"
        "<div>Please see the attachment.</div>\n"
        "--alt-%(b)s--\n"
        "--%(b)s\n"
        "Content-Type: application/x-msdownload; name=\"%(f)s\"\n"
        "Content-Disposition: attachment; filename=\"%(f)s\"\n"
        "Content-Transfer-Encoding: base64\n"
        "\n"
        "TVqQAAMAAAAEAAAA\n"
        "--%(b)s--\n" % {"b": boundary, "f": filename})


def fetch(s, mails):
    s.start_dovecot({USER: PASSWORD}, {USER: mails})
    s.start_proxy(files={"RenameTXT.txt": TEXT_NOTICE + b"\r\n",
                         "RenameHTML.txt": HTML_NOTICE + b"\r\n"})
    client = s.connect()
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    count, _ = client.pop.stat()
    got = [b"".join(l + b"\r\n" for l in client.pop.retr(i)[1]) for i in range(1, count + 1)]
    assert client.pop.quit().startswith(b"+OK")
    return got


def test_attachments_behind_boundaries_without_leading_dashes_are_renamed(s):
    # Boundaries as webmail, desktop programs and libraries write them.
    boundaries = ["000000000000a1b2c3d4e5f60718", "Apple-Mail=_5F3C2E1A-8B7D",
                  "===============4182736451==", "----=_NextPart_000_0001_01D2"]
    originals = [mail(b, "invoice%d.exe" % n) for n, b in enumerate(boundaries)]
    got = fetch(s, originals)
    assert len(got) == len(originals)
    for n, (original, served) in enumerate(zip(originals, got)):
        name = b"invoice%d.exe" % n
        assert b'name="' + name + b'BLOCKED"' in served, served
        assert b'filename="' + name + b'BLOCKED"' in served, served
        assert served.count(TEXT_NOTICE) == 1 and served.count(HTML_NOTICE) == 1, served
        # Outside the renamed lines and the two notices nothing changed.
        restored = (served.replace(name + b"BLOCKED", name)
                    .replace(b"\r\n" + TEXT_NOTICE + b"\r\n", b"\r\n", 1)
                    .replace(b"\r\n" + HTML_NOTICE + b"\r\n", b"\r\n", 1))
        restored = restored.replace(b"\r\n\r\n\r\n", b"\r\n\r\n")
        assert restored == original, (restored, original)


def test_a_mail_without_attachments_behind_such_a_boundary_is_untouched(s):
    original = mail("000000000000a1b2c3d4e5f60718", "paper.pdf")
    assert fetch(s, [original]) == [original]


if __name__ == "__main__":
    harness.main(__file__, globals())
