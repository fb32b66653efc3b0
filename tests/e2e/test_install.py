#!/usr/bin/env python3
"""The installed program: `cmake --install` of the build tree into a scratch prefix, then the
program started the way a desktop or a shell starts it, through <prefix>/bin."""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
FOLDER = os.path.join("lib", "brindlecap")
PROGRAMS = ("brindlecap", "brindlecap-config")
FILES = ("Server.ini", "Server.en.ini", "RenameTXT.txt", "RenameHTML.txt", "response.eml")


def build_tree():
    """The build tree the program under test comes from: <build>/bin/brindlecap."""
    program = harness._find_binary(sys.argv[1:])
    return os.path.dirname(os.path.dirname(os.path.abspath(program)))


def install(prefix):
    out = subprocess.run(["cmake", "--install", build_tree(), "--prefix", prefix],
                         capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stdout + out.stderr


def blocked_mail():
    return harness.crlf(
        "From: Mallory <mallory@example.net>\n"
        "To: Alice <alice@example.org>\n"
        "Subject: tool\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"--=_part\"\n"
        "\n"
        "----=_part\n"
        "Content-Type: text/plain; charset=us-ascii\n"
        "\n"
        "Please run it.\n"
        "----=_part\n"
        "Content-Type: application/octet-stream; name=\"tool.exe\"\n"
        "Content-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"tool.exe\"\n"
        "\n"
        "QUJD\n"
        "----=_part--\n")


def test_programs_and_their_files_share_one_folder_linked_from_bin(s):
    prefix = os.path.join(s.root, "prefix")
    install(prefix)
    folder = os.path.join(prefix, FOLDER)
    for name in PROGRAMS + FILES:
        assert os.path.isfile(os.path.join(folder, name)), name
    for name in PROGRAMS:
        link = os.path.join(prefix, "bin", name)
        assert os.path.islink(link), link
        assert os.path.realpath(link) == os.path.realpath(os.path.join(folder, name))
    # Only the programs are put into bin, none of their texts.
    assert sorted(os.listdir(os.path.join(prefix, "bin"))) == sorted(PROGRAMS)


def test_a_second_install_keeps_the_users_texts(s):
    prefix = os.path.join(s.root, "prefix")
    install(prefix)
    notice = os.path.join(prefix, FOLDER, "RenameTXT.txt")
    with open(notice, "wb") as f:
        f.write(b"my own notice\r\n")
    install(prefix)
    with open(notice, "rb") as f:
        assert f.read() == b"my own notice\r\n"


def test_started_through_bin_the_program_uses_its_installed_folder(s):
    prefix = os.path.join(s.root, "prefix")
    install(prefix)
    folder = os.path.join(prefix, FOLDER)
    with open(os.path.join(folder, "RenameTXT.txt"), "wb") as f:
        f.write(b"INSTALLED NOTICE\r\n")
    s.start_dovecot({USER: PASSWORD}, {USER: [blocked_mail()]})
    env = dict(os.environ)
    for k in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(k, None)
    env.update({"BRINDLECAP_HEADLESS": "1", "BRINDLECAP_LISTEN_PORT": "111",
                "BRINDLECAP_UPSTREAM_PORT": "110",
                "BRINDLECAP_REGISTRY": os.path.join(s.root, "registry.reg"),
                "BRINDLECAP_OPEN": os.path.join(s.root, "no-shell-open")})
    with tempfile.TemporaryDirectory() as elsewhere:
        listing = subprocess.run([os.path.join(prefix, "bin", "brindlecap-config"), "files"],
                                 env=env, cwd=elsewhere, capture_output=True, text=True,
                                 timeout=30)
        assert listing.returncode == 0, listing
        assert os.path.join(folder, "RenameTXT.txt") in listing.stdout, listing.stdout
        proc = subprocess.Popen([os.path.join(prefix, "bin", "brindlecap")], env=env,
                                cwd=elsewhere, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            harness.wait_for_listening(111, timeout=15.0)
            client = harness.MailProgram()
            assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
            _, lines, _ = client.pop.retr(1)
            assert client.pop.quit().startswith(b"+OK")
        finally:
            proc.terminate()
            out, _ = proc.communicate(timeout=15)
        assert proc.returncode == 0, out
    mail = b"\r\n".join(lines)
    assert b'name="tool.exeBLOCKED"' in mail, (mail, out)
    assert b"INSTALLED NOTICE" in mail, (mail, out)
    # The working files of the check are made and removed in the installed folder.
    assert not os.path.exists(os.path.join(folder, "dummy.dummy"))
    assert not os.path.exists(os.path.join(prefix, "bin", "dummy.eml"))


if __name__ == "__main__":
    harness.main(__file__, globals())
