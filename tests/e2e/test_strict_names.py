#!/usr/bin/env python3
"""Strict attachment names through the whole program: disguised names are renamed (or their
mail deleted) with the setting on, harmless look-alikes pass byte for byte, and with the
setting off the old rule holds exactly."""

import base64
import email
import email.policy
import os
import quopri
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
NOTICE = b"NOTICE: renamed."


def mail(subject, header, body="TVqQAAMAAAAEAAAA", boundary="b1"):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\nTo: Alice <alice@example.org>\n"
        "Subject: %s\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"%s\"\n\n"
        "--%s\nContent-Type: text/plain\n\nhello\n--%s\n%s\n\n%s\n--%s--\n" %
        (subject, boundary, boundary, boundary, header, body, boundary))


def attached_mail(subject, inner, encoding=None):
    """A mail that carries `inner` as an attached mail, written as it is or encoded."""
    inner = harness.crlf(inner)
    if encoding == "base64":
        body = base64.encodebytes(inner).decode("ascii").replace("\n", "\r\n")
    elif encoding == "quoted-printable":
        body = quopri.encodestring(inner).decode("ascii").replace("\r\n", "\n")
        body = harness.crlf(body).decode("ascii")
    else:
        body = inner.decode("latin-1")
    header = "Content-Type: message/rfc822\n"
    if encoding:
        header += "Content-Transfer-Encoding: %s\n" % encoding
    return mail(subject, header.rstrip("\n"), body.rstrip("\r\n"))


def single(subject, body):
    return harness.crlf("From: Mallory <mallory@example.net>\nTo: Alice <alice@example.org>\n"
                        "Subject: %s\nContent-Type: text/plain\n\n%s\n" % (subject, body))


INNER_EXE = mail("inner", "Content-Type: application/octet-stream\n"
                 "Content-Disposition: inline; filename=\"deep.exe\"", boundary="in1").decode("latin-1")
INNER_PDF = mail("inner", "Content-Type: application/pdf; name=\"report.pdf\"",
                 boundary="in1").decode("latin-1")
OCTETS = "Content-Type: application/octet-stream\n"

# Each mail hides one blocked name behind one disguise; the names as the log must show them.
DISGUISED = [
    (mail("rfc2231", OCTETS +
          "Content-Disposition: attachment; filename*1=\".exe\"; filename*0*=utf-8''invoice"),
     "invoice.exe"),
    (mail("encoded", OCTETS + "Content-Disposition: attachment; filename=\"=?utf-8?B?cnVuLmpz?=\""),
     "run.js"),
    (mail("name only", "Content-Type: application/x-msdownload; NAME=tool.exe"), "tool.exe"),
    (mail("trailing dot", OCTETS + "Content-Disposition: inline; filename=\"setup.exe.\""),
     "setup.exe"),
    (mail("description", OCTETS + "Content-Description: update.bat"), "update.bat"),
    (attached_mail("nested mail", INNER_EXE), "deep.exe"),
    (attached_mail("nested base64 mail", INNER_EXE, "base64"), "deep.exe"),
    (attached_mail("nested quoted-printable mail", INNER_EXE, "quoted-printable"), "deep.exe"),
    (mail("direction control", OCTETS +
          "Content-Disposition: inline; filename*=utf-8''photo%E2%80%AEgpj.exe"), "photogpj.exe"),
    (mail("escaped NUL", OCTETS + "Content-Disposition: inline; filename*=us-ascii''run.exe%00.txt"),
     "run.exe"),
    (mail("decoded NUL", OCTETS + "Content-Disposition: inline; filename=\"=?utf-8?Q?cmd.bat=00.txt?=\""),
     "cmd.bat"),
    (mail("raw NUL byte", OCTETS + "Content-Disposition: inline; filename=\"tool.com\0.txt\""),
     "tool.com"),
    (mail("class id", OCTETS +
          "Content-Disposition: inline; filename=\"notes.exe.{3050F4D8-98B5-11CF-BB82-00AA00BDCE0B}\""),
     "notes.exe"),
    (single("uuencode", "see below\nbegin 644 patch.exe\nM86)C\n`\nend"), "patch.exe"),
    (mail("sections out of order", OCTETS +
          "Content-Disposition: inline;\n filename*2=\"xe\"; filename*0*=utf-8''%73etup;\n"
          "\tfilename*1=\".e\""), "setup.exe"),
    (mail("koi8-r word", "Content-Type: application/octet-stream;\n"
          " name=\"=?koi8-r?Q?=F3=DE=C5=D4.exe?=\""), "\u0421\u0447\u0435\u0442.exe"),
    (mail("utf-16 word", OCTETS +
          "Content-Disposition: inline; filename=\"=?utf-16be?B?AGkAbgBmAG8ALgB2AGIAcw==?=\""),
     "info.vbs"),
]
# Look-alikes: each must come out byte for byte as it went in, with strict names on or off.
HARMLESS = [
    mail("two dots", "Content-Type: image/png\n"
         "Content-Disposition: inline; filename=\"logo.exe.png\""),
    mail("quoted", "Content-Type: text/plain", "Do not run setup.exe from strangers."),
    attached_mail("nested harmless mail", INNER_PDF),
    attached_mail("nested harmless base64 mail", INNER_PDF, "base64"),
    mail("sections that end harmless", OCTETS +
         "Content-Disposition: inline; filename*1=\".pdf\"; filename*0=\"setup.exe\""),
    mail("direction control before a harmless extension", OCTETS +
         "Content-Disposition: inline; filename*=utf-8''%E2%80%AEfdp.txt"),
    mail("escaped NUL before nothing", OCTETS +
         "Content-Disposition: inline; filename*=us-ascii''notes%00.exe.txt"),
    mail("koi8-r word with a harmless extension", "Content-Type: application/pdf;\n"
         " name=\"=?koi8-r?Q?=F3=DE=C5=D4.pdf?=\""),
    single("uuencode of a text", "begin 644 notes.txt\nM86)C\n`\nend\nexec the .exe? no"),
    mail("signed", "Content-Type: application/pkcs7-signature; name=smime.p7s\n"
         "Content-Disposition: attachment; filename=\"smime.p7s\""),
]
# The designed rule catches this one with the setting on or off.
PLAIN = mail("plain", OCTETS + "Content-Disposition: attachment; filename=\"plain.exe\"")


def decoded_view(raw):
    """The served mail with every base64 or quoted-printable attached mail decoded beside it."""
    view = raw
    for encoding, body in re.findall(
            rb"Content-Transfer-Encoding: (base64|quoted-printable)\r\n\r\n(.*?)\r\n--b1--",
            raw, re.S):
        view += base64.b64decode(body) if encoding == b"base64" else quopri.decodestring(body)
    return view


BLOCKED_EXTENSIONS = {"EXE", "COM", "BAT", "JS", "VBS", "WSH", "WSC", "VBE", "VB", "SCT"}


def reader_names(raw):
    """The file names Python's own mail parser gives, encoded attached mails opened too: a
    second reader, written apart from ours, that a disguise must fool and a rename must not."""
    names = []
    for part in email.message_from_bytes(raw, policy=email.policy.default).walk():
        name = part.get_filename()
        if name:
            names.append(name)
    for encoding, body in re.findall(
            rb"Content-Transfer-Encoding: (base64|quoted-printable)\r\n\r\n(.*?)\r\n--b1--",
            raw, re.S):
        inner = base64.b64decode(body) if encoding == b"base64" else quopri.decodestring(body)
        names += reader_names(inner)
    return names


def reader_blocks(name):
    """Whether the name, as the reader's system keeps it, has a blocked extension."""
    name = name.split("\0")[0]
    name = re.sub("[\u200e\u200f\u202a-\u202e\u2066-\u2069]", "", name)
    while True:
        cut = re.sub(r"(\.\{[^}]*\})?[. ]*$", "", name)
        if cut == name:
            break
        name = cut
    return "." in name and name.rsplit(".", 1)[1].upper() in BLOCKED_EXTENSIONS


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
    mails = [m for m, _ in DISGUISED] + HARMLESS + [PLAIN]
    client, got = fetch(s, mails, {"StrictAttachmentNames": 1})
    assert len(got) == len(mails)
    for (original, name), served in zip(DISGUISED, got):
        assert served != original, name
        # The notice goes into the text parts of a multipart mail; a single-part one has none.
        assert NOTICE in served or b"multipart" not in original, name
        assert b"BLOCKED" in decoded_view(served), (name, served)
        # Where the second reader sees the disguised name, it sees no blocked name after the
        # rename: no form of the name is left for a mail program to rebuild.
        if reader_names(original):
            assert any(reader_blocks(n) for n in reader_names(original)), name
            assert not any(reader_blocks(n) for n in reader_names(served)), (name, served)
    for harmless in HARMLESS:
        assert not any(reader_blocks(n) for n in reader_names(harmless)), harmless
    assert got[len(DISGUISED):len(DISGUISED) + len(HARMLESS)] == HARMLESS
    assert b"filename=\"plain.exeBLOCKED\"" in got[-1]
    log = s.proxy.log()
    for _, name in DISGUISED:
        # The log is read as Latin-1 bytes; the names are written in UTF-8.
        logged = name.encode("utf-8").decode("latin-1")
        assert "Blocking Attachment: " + logged in log, (name, log)
    assert "Found in: Content-Description" in log
    assert "Found in: uuencode" in log
    assert b"\r\nbegin 644 patch.exeBLOCKED\r\n" in got[[n for _, n in DISGUISED].index("patch.exe")]
    assert "not served" not in log, log
    assert client.pop.quit().startswith(b"+OK")


def test_strict_names_under_the_delete_action(s):
    client, got = fetch(s, [m for m, _ in DISGUISED] + HARMLESS + [PLAIN],
                        {"StrictAttachmentNames": 1, "Aktion": 2})
    assert got == HARMLESS
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == len(HARMLESS)


def test_without_the_setting_the_old_rule_holds(s):
    mails = [m for m, _ in DISGUISED] + HARMLESS + [PLAIN]
    client, got = fetch(s, mails, {})
    # The designed rule reads only "attachment" lines with "filename=": of all these it sees
    # the plain name, and "setup.exe." (extension "exe.", in no group). Everything else
    # passes as it came.
    assert got[:-1] == mails[:-1]
    assert got[-1] != PLAIN and NOTICE in got[-1]
    assert b"filename=\"plain.exeBLOCKED\"\r\n" in got[-1]
    log = s.proxy.log()
    assert log.count("RENAMING Attachment: ") == 1, log
    assert "RENAMING Attachment: plain.exe" in log
    assert "Found in:" not in log
    assert client.pop.quit().startswith(b"+OK")


if __name__ == "__main__":
    harness.main(__file__, globals())
