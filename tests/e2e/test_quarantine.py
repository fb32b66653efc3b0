#!/usr/bin/env python3
"""Whole-program runs of the quarantine: the delete action against a real Dovecot keeps a copy
of every mail it removes, byte for byte, and deletes nothing it could not copy; old copies go
at start-up; the configuration program lists, exports and removes the copies."""

import calendar
import os
import stat
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from test_mailbox_inspection import (HOST, PASSWORD, USER, direct_mails, fetch_all,  # noqa: E402
                                     mail_with_attachment, plain_mail, start)

DAY = 24 * 60 * 60


def quarantine_folder(s):
    return os.path.join(s.root, "data", "brindlecap", "quarantine")


def copies(s):
    """File name -> bytes of every copy in the quarantine folder."""
    folder = quarantine_folder(s)
    out = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".eml"):
            with open(os.path.join(folder, name), "rb") as f:
                out[name] = f.read()
    return out


def results(s):
    return [l[len("RESULT: "):] for l in s.proxy.log_lines() if l.startswith("RESULT: ")]


def config_program(s, *args):
    program = os.path.join(os.path.dirname(s.binary), "brindlecap-config")
    env = dict(s.proxy.env)
    return subprocess.run([program] + list(args), env=env, capture_output=True, timeout=60)


def copy_name(moment, counter=1):
    return time.strftime("%Y%m%d-%H%M%S", time.gmtime(moment)) + "-%03d" % counter


def test_each_deleted_mail_is_kept_byte_for_byte_before_the_server_deletes_it(s):
    originals = [plain_mail("first"), mail_with_attachment("evil", "evil.exe"),
                 plain_mail("third"), mail_with_attachment("script", "run.js")]
    client = start(s, originals, registry={"Aktion": 2})
    server_view = direct_mails(s)
    stat_, _, mails = fetch_all(client)
    assert mails == [server_view[0], server_view[2]]
    kept = copies(s)
    # The mails as Dovecot holds them and serves them, in the order they were deleted.
    assert list(kept.values()) == [server_view[1], server_view[3]], kept.keys()
    assert [server_view[1], server_view[3]] == [originals[1], originals[3]]
    folder = quarantine_folder(s)
    assert stat.S_IMODE(os.stat(folder).st_mode) == 0o700
    names = list(kept)
    for name in names:
        assert stat.S_IMODE(os.stat(os.path.join(folder, name)).st_mode) == 0o600
    with open(os.path.join(folder, names[0][:-4] + ".info"), "rb") as f:
        info = f.read()
    assert b"Mailbox: %s/%s\n" % (HOST.encode(), USER.encode()) in info, info
    assert b"Blocked: evil.exe\n" in info and b"Subject: evil\n" in info, info

    log = s.proxy.log_lines()
    written = [i for i, l in enumerate(log) if l.startswith("Quarantine copy written: ")]
    assert [log[i][len("Quarantine copy written: "):] for i in written] == \
        [os.path.join(folder, n) for n in names], log
    # Each copy is on disk before its DELE goes out.
    deleting = [i for i, l in enumerate(log) if l.startswith("DELETING Mail")]
    blocked = [i for i, l in enumerate(log) if l.endswith(" blocked.")]
    assert deleting[0] < written[0] < blocked[0] < deleting[1] < written[1] < blocked[1], log
    # The deleted mail's result block names its copy, before its line of dashes.
    lines = results(s)
    for name in names:
        at = [i for i, l in enumerate(lines) if l.endswith(" " + name)]
        assert len(at) == 1 and lines[at[0] + 1] == "-" * 100, lines
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == 2


def test_a_copy_that_cannot_be_written_leaves_the_mail_on_the_server_and_unserved(s):
    # A file where the folder should be: not even the superuser can make the folder there.
    os.makedirs(os.path.join(s.root, "data", "brindlecap"))
    with open(quarantine_folder(s), "w") as f:
        f.write("in the way\n")
    originals = [plain_mail("first"), mail_with_attachment("evil", "evil.exe")]
    client = start(s, originals, registry={"Aktion": 2})
    server_view = direct_mails(s)
    stat_, sizes, mails = fetch_all(client)
    assert stat_ == (1, len(server_view[0])) and mails == [server_view[0]]
    log = s.proxy.log()
    assert "Quarantine copy not written, mail left on the server: " in log, log
    assert "Mail 2 blocked." not in log
    lines = results(s)
    reason = [l for l in lines if "quarantine" in l and ("Not a directory" in l or "File exists" in l)]
    assert reason, lines
    assert "evil.exe" in lines and lines[-1] == "-" * 100, lines
    assert client.pop.quit().startswith(b"+OK")
    # Nothing was deleted: the next session still finds the mail on the server.
    assert s.dovecot.mail_count(USER) == 2
    assert direct_mails(s) == server_view


def test_quarantine_off_deletes_exactly_as_before(s):
    originals = [mail_with_attachment("evil", "evil.exe"), plain_mail("second")]
    client = start(s, originals, registry={"Aktion": 2, "Quarantine": 0})
    server_view = direct_mails(s)
    _, _, mails = fetch_all(client)
    assert mails == [server_view[1]]
    assert not os.path.exists(os.path.join(s.root, "data"))
    log = s.proxy.log_lines()
    assert not [l for l in log if "uarantine" in l], log
    assert "DELETING Mail - Reason: Attachment :evil.exe" in log and "Mail 1 blocked." in log
    lines = results(s)
    # Texts 300 to 304, the names, the dashes: nothing more.
    assert len(lines) == 7 and lines[5] == "evil.exe" and lines[6] == "-" * 100, lines
    assert client.pop.quit().startswith(b"+OK")
    assert s.dovecot.mail_count(USER) == 1


def test_copies_older_than_the_days_go_at_start_up(s):
    folder = quarantine_folder(s)
    os.makedirs(folder, mode=0o700)
    now = time.time()
    old, young = copy_name(now - 31 * DAY), copy_name(now - 29 * DAY)
    for stem in (old, young):
        for ext, content in ((".eml", b"Subject: kept\r\n\r\nbody\r\n"), (".info", b"Blocked: a.exe\n")):
            with open(os.path.join(folder, stem + ext), "wb") as f:
                f.write(content)
    with open(os.path.join(folder, "my-notes.txt"), "w") as f:
        f.write("not a copy\n")
    s.start_dovecot({USER: PASSWORD})
    s.start_proxy()
    # The service listens before the start-up's pruning has logged: wait for its line.
    s.proxy.wait_for_log("Quarantine copy removed (older than 30 days): %s/%s.eml" % (folder, old))
    assert young not in s.proxy.log()
    assert sorted(os.listdir(folder)) == sorted(["my-notes.txt", young + ".eml", young + ".info"])
    s.proxy.stop()
    # A shorter limit set by the user takes the younger one at the next start.
    s.proxy.set_registry({"QuarantineDays": 7})
    mark = s.proxy.mark()
    s.proxy.start()
    s.proxy.wait_for_log("Quarantine copy removed (older than 7 days): %s/%s.eml" % (folder, young),
                         after=mark)
    assert os.listdir(folder) == ["my-notes.txt"]


def test_the_config_program_lists_exports_and_removes_copies(s):
    originals = [mail_with_attachment("evil", "evil.exe"), mail_with_attachment("tool", "tool.com")]
    client = start(s, originals, registry={"Aktion": 2})
    server_view = direct_mails(s)
    assert fetch_all(client)[0][0] == 0
    assert client.pop.quit().startswith(b"+OK")

    listed = config_program(s, "quarantine", "list")
    assert listed.returncode == 0, listed
    out = listed.stdout.decode("latin-1")
    assert out.index("\n1  ") < out.index("Subject: evil") < out.index("\n2  ") < \
        out.index("Subject: tool"), out
    assert "Blocked: evil.exe" in out and "Blocked: tool.com" in out, out
    assert "From:    Mallory <mallory@example.net>" in out, out

    target = os.path.join(s.root, "back.eml")
    exported = config_program(s, "quarantine", "export", "2", target)
    assert exported.returncode == 0, exported
    with open(target, "rb") as f:
        assert f.read() == server_view[1]

    removed = config_program(s, "quarantine", "remove", "1")
    assert removed.returncode == 0, removed
    assert list(copies(s).values()) == [server_view[1]]
    missing = config_program(s, "quarantine", "remove", "2")
    assert missing.returncode == 1 and b"there is no copy number 2" in missing.stderr, missing


if __name__ == "__main__":
    harness.main(__file__, globals())
