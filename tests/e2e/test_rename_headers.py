#!/usr/bin/env python3
"""The rename finds a blocked name wherever the part header carries it: fields in any order
and letter case, folded or not. A name that cannot be rewritten keeps its mail from the mail
program (it stays on the server) instead of passing while the log says it was renamed."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
TEXT_NOTICE = b"NOTICE: an attachment of this mail was renamed."


def mail(subject, text_header, attachment_header):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\n"
        "To: Alice <alice@example.org>\n"
        "Subject: %s\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\n"
        "\n"
        "--b1\n"
        "%s\n"
        "\n"
        "Please see the attachment.\n"
        "--b1\n"
        "%s\n"
        "\n"
        "TVqQAAMAAAAEAAAA\n"
        "--b1--\n" % (subject, text_header, attachment_header))


# Each attachment header names the file once in the disposition and once in the type.
HEADERS = [
    ("disposition first",
     "Content-Disposition: attachment; filename=\"%(f)s\"\n"
     "Content-Type: application/octet-stream; name=\"%(f)s\"\n"
     "Content-Transfer-Encoding: base64"),
    ("encoding first",
     "Content-Transfer-Encoding: base64\n"
     "Content-Type: application/octet-stream; name=\"%(f)s\"\n"
     "Content-Disposition: attachment; filename=\"%(f)s\""),
    ("lower case",
     "content-type: application/octet-stream; name=\"%(f)s\"\n"
     "content-disposition: attachment; filename=\"%(f)s\"\n"
     "content-transfer-encoding: base64"),
    ("upper case",
     "CONTENT-TYPE: application/octet-stream; name=\"%(f)s\"\n"
     "CONTENT-TRANSFER-ENCODING: base64\n"
     "CONTENT-DISPOSITION: attachment; filename=\"%(f)s\""),
    ("folded",
     "Content-Transfer-Encoding: base64\n"
     "Content-Disposition: attachment;\n"
     "\tfilename=\"%(f)s\"\n"
     "Content-Type: application/octet-stream;\n"
     " name=\"%(f)s\""),
]
TEXT_HEADERS = ["Content-Type: text/plain; charset=us-ascii",
                "content-transfer-encoding: 7bit\ncontent-type: text/plain",
                "CONTENT-TYPE: TEXT/PLAIN"]


def fetch(s, mails):
    s.start_dovecot({USER: PASSWORD}, {USER: mails})
    s.start_proxy(files={"RenameTXT.txt": TEXT_NOTICE + b"\r\n", "RenameHTML.txt": b"<p>N</p>\r\n"})
    client = s.connect()
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    count, _ = client.pop.stat()
    got = [b"".join(l + b"\r\n" for l in client.pop.retr(i)[1]) for i in range(1, count + 1)]
    return client, got


def test_every_header_order_and_letter_case_is_renamed(s):
    originals = []
    for n, (_, header) in enumerate(HEADERS):
        text = TEXT_HEADERS[n % len(TEXT_HEADERS)]
        originals.append(mail("order %d" % n, text, header % {"f": "tool%d.exe" % n}))
    client, got = fetch(s, originals)
    assert len(got) == len(originals), got
    for n, (original, served) in enumerate(zip(originals, got)):
        name = b"tool%d.exe" % n
        assert served.count(name + b'BLOCKED"') == 2, (HEADERS[n][0], served)
        assert served.count(name) == 2, (HEADERS[n][0], served)
        assert served.count(TEXT_NOTICE) == 1, (HEADERS[n][0], served)
        restored = (served.replace(name + b"BLOCKED", name)
                    .replace(b"\r\n" + TEXT_NOTICE + b"\r\n\r\n", b"\r\n", 1))
        assert restored == original, (HEADERS[n][0], restored, original)
    # The rule reads the name from the disposition line only: one rename per mail.
    assert s.proxy.log().count("RENAMING Attachment: ") == len(HEADERS)
    assert client.pop.quit().startswith(b"+OK")


def test_a_name_that_cannot_be_rewritten_keeps_the_mail_on_the_server(s):
    # The fold runs through the name: the decoder joins it into "run   .exe", which occurs in
    # no line of the mail.
    split = mail("split", "Content-Type: text/plain",
                 "Content-Type: application/octet-stream\n"
                 "Content-Disposition: attachment; filename=\"run\n .exe\"")
    plain = mail("fine", "Content-Type: text/plain",
                 "Content-Type: application/pdf\n"
                 "Content-Disposition: attachment; filename=\"paper.pdf\"")
    client, got = fetch(s, [split, plain])
    assert got == [plain]
    # The proxy wrote its log before it served the mails; reading it here may lag behind.
    s.proxy.wait_for_log("Message has been sent.")
    log = s.proxy.log()
    assert "RENAMING Attachment: run   .exe" in log, log
    assert 'Mail 1 not served: the blocked name "run   .exe" could not be rewritten' in log, log
    results = [l[len("RESULT: "):] for l in s.proxy.log_lines() if l.startswith("RESULT: ")]
    assert any(l.endswith(" Mallory <mallory@example.net>") for l in results), results
    assert "run   .exe" in results and "-" * 100 in results, results
    # Message 1 of the mail program is the server's message 2.
    assert client.pop.dele(1).startswith(b"+OK")
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == 1
    pop = s.direct()
    pop.user(USER)
    pop.pass_(PASSWORD)
    assert b"".join(l + b"\r\n" for l in pop.retr(1)[1]) == split
    pop.quit()


if __name__ == "__main__":
    harness.main(__file__, globals())
