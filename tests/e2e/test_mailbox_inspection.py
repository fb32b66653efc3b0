#!/usr/bin/env python3
"""Whole-program runs of the mail check: a real Dovecot mailbox fetched through the headless
proxy by poplib (and curl), with the attachment policy applied on the way."""

import os
import poplib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

# Mails with long lines are part of the tests; poplib refuses lines over 2 KiB by default.
poplib._MAXLINE = 1 << 20

USER, PASSWORD = "alice", "wonderland"
HOST = "127.0.0.1"
TEXT_NOTICE = "NOTICE: an attachment of this mail was renamed.\r\n"
HTML_NOTICE = "<p>NOTICE: an attachment of this mail was renamed.</p>\r\n"


def plain_mail(subject, body="Hello,\nthis is a plain mail.\n.\n..two dots\n"):
    return harness.crlf("From: Bob <bob@example.org>\nTo: Alice <alice@example.org>\n"
                        "Subject: %s\nMessage-ID: <%s@example.org>\n\n%s" %
                        (subject, subject.replace(" ", "-"), body))


def mail_with_attachment(subject, filename, payload="QUJDREVGRw=="):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\n"
        "To: Alice <alice@example.org>\n"
        "Subject: %s\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"--=_part\"\n"
        "\n"
        "This is a multi-part message in MIME format.\n"
        "----=_part\n"
        "Content-Type: text/plain; charset=us-ascii\n"
        "\n"
        "Please open the file.\n"
        "----=_part\n"
        "Content-Type: application/octet-stream; name=\"%s\"\n"
        "Content-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"%s\"\n"
        "\n"
        "%s\n"
        "----=_part--\n" % (subject, filename, filename, payload))


def direct_mails(scenario):
    """Every mail as Dovecot serves it, as bytes with CR LF line ends."""
    pop = scenario.direct()
    pop.user(USER)
    pop.pass_(PASSWORD)
    count, _ = pop.stat()
    mails = [b"".join(l + b"\r\n" for l in pop.retr(i)[1]) for i in range(1, count + 1)]
    pop.quit()
    return mails


def fetch_all(client):
    """STAT, LIST and RETR of every mail; returns (stat, sizes, mails)."""
    count, total = client.pop.stat()
    sizes = {}
    if count:
        for entry in client.pop.list()[1]:
            num, size = entry.split()
            sizes[int(num)] = int(size)
    mails = []
    for i in range(1, count + 1):
        _, lines, octets = client.pop.retr(i)
        mail = b"".join(l + b"\r\n" for l in lines)
        assert octets == len(mail), (octets, len(mail))
        mails.append(mail)
    return (count, total), sizes, mails


def start(scenario, mails, registry=None, files=None, env=None):
    scenario.start_dovecot({USER: PASSWORD}, {USER: mails})
    default_files = {"RenameTXT.txt": TEXT_NOTICE, "RenameHTML.txt": HTML_NOTICE}
    default_files.update(files or {})
    scenario.start_proxy(registry=registry or {}, files=default_files, env=env)
    client = scenario.connect()
    assert client.login(HOST, USER, PASSWORD).startswith(b"+OK")
    return client


def check_sizes(stat, sizes, mails):
    assert stat[0] == len(mails)
    assert stat[1] == sum(len(m) for m in mails), (stat, [len(m) for m in mails])
    assert sizes == {i + 1: len(m) for i, m in enumerate(mails)}, (sizes, [len(m) for m in mails])


def test_rename_action_renames_blocked_names_and_keeps_other_mails_byte_for_byte(s):
    originals = [plain_mail("plain one"), mail_with_attachment("program", "Setup.exe"),
                 mail_with_attachment("script", "run.js"), mail_with_attachment("paper", "paper.pdf")]
    client = start(s, originals)
    server_view = direct_mails(s)
    stat, sizes, mails = fetch_all(client)
    check_sizes(stat, sizes, mails)
    assert mails[0] == server_view[0]
    assert mails[3] == server_view[3]
    for index, name in ((1, b"Setup.exe"), (2, b"run.js")):
        mail = mails[index]
        assert b'name="' + name + b'BLOCKED"' in mail, mail
        assert b'filename="' + name + b'BLOCKED"' in mail, mail
        assert TEXT_NOTICE.encode() in mail
        # Outside the rewritten lines and the notice nothing changed.
        restored = mail.replace(name + b"BLOCKED", name).replace(b"\r\n" + TEXT_NOTICE.encode(), b"", 1)
        assert restored == server_view[index], (restored, server_view[index])
    log = s.proxy.log()
    assert "RENAMING Attachment: Setup.exe" in log
    assert "RENAMING Attachment: run.js" in log
    assert "Blocking Attachment: paper.pdf" not in log
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == 4


def test_delete_action_deletes_upstream_and_prepares_the_report(s):
    record = os.path.join(s.root, "opened.txt")
    recorder = os.path.join(s.root, "record-open.sh")
    with open(recorder, "w") as f:
        f.write("#!/bin/sh\necho \"$1\" >> %s\n" % record)
    os.chmod(recorder, 0o755)
    template = "To: XXX%3\r\nSubject: Blocked: XXX%2\r\n\r\nYour mail to XXX%1 was not delivered.\r\n"
    originals = [plain_mail("first"), mail_with_attachment("evil", "evil.exe"), plain_mail("third")]
    client = start(s, originals, registry={"Aktion": 2, "CheckBox_SendError": 1},
                   files={"response.eml": template}, env={"BRINDLECAP_OPEN": recorder})
    server_view = direct_mails(s)
    stat, sizes, mails = fetch_all(client)
    check_sizes(stat, sizes, mails)
    assert mails == [server_view[0], server_view[2]]
    log = s.proxy.log()
    assert "DELETING Mail - Reason: Attachment :evil.exe" in log
    assert "Mail 2 blocked." in log
    # The result block: texts 300 to 304 with the sender and subject, the names, the dashes.
    results = [l[len("RESULT: "):] for l in s.proxy.log_lines() if l.startswith("RESULT: ")]
    assert any(l.endswith(" Mallory <mallory@example.net>") for l in results), results
    assert any(l.endswith(" evil") for l in results), results
    assert "evil.exe" in results and "-" * 100 in results, results
    report = s.proxy.read_file("mail.eml")
    assert report == (b"To: mallory@example.net\r\nSubject: Blocked: evil\r\n\r\n"
                      b"Your mail to alice@example.org was not delivered.\r\n"), report
    deadline = time.monotonic() + 5
    while not os.path.exists(record) and time.monotonic() < deadline:
        time.sleep(0.05)
    with open(record) as f:
        assert f.read().strip().endswith("mail.eml")
    # DELE of message 2 goes upstream as the server's number 3.
    assert client.pop.dele(2).startswith(b"+OK")
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == 1
    pop = s.direct()
    pop.user(USER)
    pop.pass_(PASSWORD)
    assert b"".join(l + b"\r\n" for l in pop.retr(1)[1]) == server_view[0]
    pop.quit()


def test_log_only_action_changes_nothing(s):
    originals = [mail_with_attachment("program", "tool.exe")]
    client = start(s, originals, registry={"Aktion": 3})
    server_view = direct_mails(s)
    stat, sizes, mails = fetch_all(client)
    check_sizes(stat, sizes, mails)
    assert mails == server_view
    log = s.proxy.log()
    assert "Blocking Attachment: tool.exe" in log
    assert "RENAMING" not in log and "DELETING" not in log
    client.pop.quit()
    assert s.dovecot.mail_count(USER) == 1


def test_empty_mailbox(s):
    client = start(s, [])
    assert client.command("STAT") == b"+OK 0 0"
    # An empty mailbox lists as empty: a mail program must not take it for a failure.
    assert client.pop.list() == (b"+OK Listing follows", [], 0)
    assert client.pop.uidl() == (b"+OK Listing follows", [], 0)
    try:
        client.command("RETR 1")
        raise AssertionError("RETR on an empty store must fail")
    except Exception as e:
        assert "Messagenumber too high!" in str(e), e
    client.pop.quit()


def test_second_stat_downloads_again_and_dele_then_quit_deletes(s):
    client = start(s, [plain_mail("one"), plain_mail("two")])
    first = fetch_all(client)
    s.dovecot.add_mail(USER, plain_mail("three"))  # not seen by this session's server view
    second = fetch_all(client)
    assert first == second
    assert s.proxy.log().count("All mails successfully downloaded.") == 2
    assert client.pop.dele(1).startswith(b"+OK")
    # A deleted mail keeps its position until QUIT.
    assert client.pop.list()[1][0].startswith(b"1 ")
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == 2


def test_session_without_stat_and_list_with_a_number(s):
    originals = [plain_mail("one"), mail_with_attachment("program", "x.exe")]
    client = start(s, originals)
    one_line = client.command("LIST 2")
    _, mails = None, None
    _, lines, _ = client.pop.retr(2)
    mail = b"".join(l + b"\r\n" for l in lines)
    assert b'x.exeBLOCKED"' in mail
    assert one_line == b"+OK 2 %d" % len(mail), (one_line, len(mail))
    try:
        client.command("LIST 3")
        raise AssertionError("LIST 3 of 2 must fail")
    except Exception as e:
        assert "Messagenumber too high!" in str(e), e
    assert "STAT sent ok" in s.proxy.log()
    client.pop.quit()


def test_long_lines_and_nul_bytes_arrive_unchanged(s):
    long_line = "From: a@b\r\nSubject: long\r\n\r\n" + "x" * 10000 + "\r\nend\r\n"
    nul_mail = b"From: a@b\r\nSubject: nul\r\n\r\nbefore\0after\r\n"
    client = start(s, [long_line, nul_mail])
    server_view = direct_mails(s)
    stat, sizes, mails = fetch_all(client)
    check_sizes(stat, sizes, mails)
    assert mails == server_view
    client.pop.quit()


def test_a_50_mib_mail_and_a_malformed_one_arrive_whole(s):
    line = b"L" * 98 + b"\r\n"
    large = b"Subject: large\r\n\r\n" + line * (50 * 1024 * 1024 // len(line))
    junk = bytes(b if b not in (10, 13) else 32 for b in range(256)) * 40 + b"\r\n.\r\n--\r\n"
    client = start(s, [junk, large])
    server_view = direct_mails(s)
    stat, sizes, mails = fetch_all(client)
    check_sizes(stat, sizes, mails)
    assert mails == server_view
    client.pop.quit()
    assert s.dovecot.mail_count(USER) == 2


def test_curl_fetches_message_one(s):
    if shutil.which("curl") is None:
        raise AssertionError("curl is not installed")
    original = mail_with_attachment("program", "y.com")
    start(s, [original]).close()
    # The first session ended without QUIT: Reset makes the service listen again only on
    # QUIT, so use a fresh proxy session by quitting properly instead.
    s.proxy.stop()
    s.proxy.start()
    out = subprocess.run(
        ["curl", "-s", "--max-time", "60", "--user", "%s/%s:%s" % (HOST, USER, PASSWORD),
         "pop3://127.0.0.1:%d/1" % s.proxy.listen_port],
        capture_output=True, timeout=90)
    assert out.returncode == 0, out
    assert b'name="y.comBLOCKED"' in out.stdout, out.stdout
    assert TEXT_NOTICE.encode() in out.stdout


if __name__ == "__main__":
    harness.main(__file__, globals())
