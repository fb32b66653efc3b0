#!/usr/bin/env python3
"""The Debian package (`make package`): built with CPack from the build tree under test,
installed into a throwaway root with dpkg and removed again, and run from there as an ordinary
user with a fresh home, as a system-wide install is run. The user may not write the program
folder, so working files go to the user's state folder and edits to the user's config folder;
and the user may not open port 111, which the log explains."""

import atexit
import glob
import os
import pwd
import shutil
import signal
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
# The ordinary user: nobody, whose home does not exist; each test gives it a fresh one.
NOBODY = pwd.getpwnam("nobody")
PROGRAM_FOLDER = "usr/lib/brindlecap"

_package = {}


def build_tree():
    program = harness._find_binary(sys.argv[1:])
    return os.path.dirname(os.path.dirname(os.path.abspath(program)))


def package():
    """The .deb, built once per run into a folder of its own (the build tree stays clean)."""
    if "deb" not in _package:
        out = tempfile.mkdtemp(prefix="brindlecap-deb-")
        atexit.register(shutil.rmtree, out, True)
        tree = build_tree()
        made = subprocess.run(["cpack", "-G", "DEB", "-B", out,
                               "--config", os.path.join(tree, "CPackConfig.cmake")],
                              cwd=tree, capture_output=True, text=True, timeout=300)
        assert made.returncode == 0, made.stdout + made.stderr
        debs = glob.glob(os.path.join(out, "*.deb"))
        assert len(debs) == 1, (debs, made.stdout)
        _package["deb"] = debs[0]
    return _package["deb"]


def gui_built():
    return os.path.exists(os.path.join(build_tree(), "icons"))


def dpkg(root, *args):
    out = subprocess.run(["dpkg", "--root=" + root, "--force-depends", "--log=/dev/null"]
                         + list(args), capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stdout + out.stderr
    return out.stdout


def throwaway_root(s):
    """An empty system with a dpkg database of its own, and the package installed into it."""
    root = os.path.join(s.root, "system")
    for folder in ("var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers"):
        os.makedirs(os.path.join(root, folder))
    open(os.path.join(root, "var/lib/dpkg/status"), "w").close()
    dpkg(root, "--install", package())
    return root


def as_user(home, command, env=None, **kwargs):
    """Runs a command as nobody, with `home` as its home and nothing of root's environment."""
    environment = {"PATH": "/usr/bin:/bin", "HOME": home, "USER": "nobody", "LANG": "C.UTF-8",
                   "BRINDLECAP_HEADLESS": "1"}
    environment.update(env or {})
    prefix = ["setpriv", "--reuid=%d" % NOBODY.pw_uid, "--regid=%d" % NOBODY.pw_gid,
              "--clear-groups", "--"]
    return prefix + command, environment, kwargs


def run_as_user(home, command, env=None):
    argv, environment, _ = as_user(home, command, env)
    return subprocess.run(argv, env=environment, capture_output=True, text=True, timeout=60)


def fresh_home(s):
    home = os.path.join(s.root, "home")
    os.makedirs(home)
    os.chown(home, NOBODY.pw_uid, NOBODY.pw_gid)
    return home


def start_as_user(s, root, home):
    argv, environment, _ = as_user(home, [os.path.join(root, "usr/bin/brindlecap")],
                                   {"BRINDLECAP_OPEN": "/bin/true"})
    proxy = harness.Proxy(s.root, s.binary)  # only for its output reader and stop()
    proxy.proc = subprocess.Popen(argv, env=environment, cwd="/", stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    proxy._reader = harness.threading.Thread(target=proxy._read_output, daemon=True)
    proxy._reader.start()
    s.proxy = proxy
    return proxy


def blocked_mail(name):
    return harness.crlf(
        "From: Mallory <mallory@example.net>\n"
        "To: Alice <alice@example.org>\n"
        "Subject: %s\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\n"
        "\n"
        "--b\n"
        "Content-Type: text/plain\n"
        "\n"
        "Please run it.\n"
        "--b\n"
        "Content-Type: application/octet-stream; name=\"%s.exe\"\n"
        "Content-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"%s.exe\"\n"
        "\n"
        "QUJD\n"
        "--b--\n" % (name, name, name))


def snapshot(folder):
    return sorted((os.path.relpath(os.path.join(d, f), folder), os.stat(os.path.join(d, f)).st_mtime_ns)
                  for d, _, files in os.walk(folder) for f in files)


def test_the_package_holds_programs_links_launchers_and_documents(s):
    deb = package()
    listing = subprocess.run(["dpkg-deb", "--contents", deb], capture_output=True, text=True,
                             check=True).stdout
    entries = {}
    for line in listing.splitlines():
        fields = line.split(None, 5)
        name = fields[5].split(" -> ")[0].lstrip(".")
        entries[name] = (fields[0], fields[1], line)
    for program in ("brindlecap", "brindlecap-config"):
        assert entries["/usr/lib/brindlecap/" + program][0] == "-rwxr-xr-x", program
        assert "/usr/bin/%s -> ../lib/brindlecap/%s" % (program, program) in \
            entries["/usr/bin/" + program][2]
        assert "/usr/share/man/man1/%s.1.gz" % program in entries
    for name in ("Server.ini", "Server.en.ini", "RenameTXT.txt", "RenameHTML.txt",
                 "response.eml"):
        assert entries["/usr/lib/brindlecap/" + name][0] == "-rw-r--r--", name
    for name in ("/usr/share/doc/brindlecap/README.md", "/usr/share/doc/brindlecap/copyright",
                 "/usr/share/doc/brindlecap/changelog.Debian.gz",
                 "/usr/lib/systemd/user/brindlecap.service"):
        assert name in entries, name
    if gui_built():
        for name in ("/usr/share/applications/brindlecap.desktop",
                     "/usr/share/applications/brindlecap-config.desktop",
                     "/usr/share/icons/hicolor/256x256/apps/brindlecap.png"):
            assert name in entries, name
    # Every file belongs to root, nothing is writable by others, nothing from the build tree.
    for name, (mode, owner, line) in entries.items():
        assert owner == "root/root", line
        assert mode[0] == "l" or mode[8] != "w", line
        assert "build" not in name and "tests-bin" not in name, line

    control = subprocess.run(["dpkg-deb", "--field", deb], capture_output=True, text=True,
                             check=True).stdout
    fields = dict(line.split(": ", 1) for line in control.splitlines() if ": " in line)
    assert fields["Package"] == "brindlecap", control
    assert fields["Section"] == "mail", control
    depends = fields["Depends"]
    # dpkg-shlibdeps works the libraries out from what the programs link.
    assert "libc6" in depends and "libstdc++6" in depends, depends
    if gui_built():
        for needed in ("libqt6widgets6", "libqt6gui6", "libqt6core6", "qt6-qpa-plugins"):
            assert needed in depends, depends
    # The programs are stripped; the build tree keeps the debugging information.
    with tempfile.TemporaryDirectory() as unpacked:
        subprocess.run(["dpkg-deb", "--extract", deb, unpacked], check=True)
        program = os.path.join(unpacked, PROGRAM_FOLDER, "brindlecap")
        symbols = subprocess.run(["readelf", "--sections", program], capture_output=True,
                                 text=True, check=True).stdout
        assert ".debug_info" not in symbols and ".symtab" not in symbols, "not stripped"
        unit = open(os.path.join(unpacked, "usr/lib/systemd/user/brindlecap.service")).read()
        assert "ExecStart=/usr/lib/brindlecap/brindlecap\n" in unit, unit
        assert "Environment=BRINDLECAP_HEADLESS=1\n" in unit and "Restart=on-failure\n" in unit
        page = os.path.join(unpacked, "usr/share/man/man1/brindlecap.1.gz")
        man = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, text=True,
                             env=dict(os.environ, MANPAGER="cat", MANWIDTH="80"))
        assert man.returncode == 0 and man.stderr == "", man.stderr
        source = subprocess.run(["zcat", page], capture_output=True, text=True,
                                check=True).stdout
        for word in ("SIGUSR1", "SIGTERM", "ListenPort", "fetchmail", "mpop", "curl",
                     "XDG_STATE_HOME", "brindlecap.service"):
            assert word in source, word


def test_dpkg_installs_and_removes_it_leaving_nothing(s):
    root = throwaway_root(s)
    status = dpkg(root, "--status", "brindlecap")
    assert "Status: install ok installed" in status, status
    assert os.path.islink(os.path.join(root, "usr/bin/brindlecap"))
    dpkg(root, "--purge", "brindlecap")
    left = [os.path.join(d, f) for d, _, files in os.walk(root) for f in files
            if not os.path.relpath(d, root).startswith("var/lib/dpkg")]
    assert left == [], left
    assert not os.path.exists(os.path.join(root, PROGRAM_FOLDER))


def test_an_ordinary_user_runs_the_installed_program_from_its_own_folders(s):
    root = throwaway_root(s)
    folder = os.path.join(root, PROGRAM_FOLDER)
    before = snapshot(folder)
    home = fresh_home(s)
    config = [os.path.join(root, "usr/bin/brindlecap-config")]
    s.start_dovecot({USER: PASSWORD}, {USER: [blocked_mail("first")]})

    # Rename first: the notice the user edits lands in the user's folder and is used.
    for args in (["port", "listen", "1111"], ["set", "Aktion", "integer", "1"]):
        done = run_as_user(home, config + args)
        assert done.returncode == 0, done
    notice = os.path.join(home, ".config/brindlecap/RenameTXT.txt")
    argv, environment, _ = as_user(home, config + ["replace-file", "RenameTXT.txt", "-"])
    done = subprocess.run(argv, env=environment, input="MY OWN NOTICE\n", capture_output=True,
                          text=True, timeout=60)
    assert done.returncode == 0, done
    assert done.stdout == notice + " replaced\n", done.stdout
    assert os.stat(notice).st_uid == NOBODY.pw_uid

    proxy = start_as_user(s, root, home)
    proxy.wait_for_log("Awaiting connection.", timeout=15.0)
    harness.wait_for_listening(1111, timeout=5.0)
    client = harness.MailProgram(port=1111)
    s.clients.append(client)
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    _, lines, _ = client.pop.retr(1)
    mark = proxy.mark()
    assert client.pop.quit().startswith(b"+OK")
    mail = b"\r\n".join(lines)
    assert b'name="first.exeBLOCKED"' in mail, (mail, proxy.log())
    assert b"MY OWN NOTICE" in mail, (mail, proxy.log())

    # Then delete with a report: the report mail is written to the user's state folder.
    state = os.path.join(home, ".local/state/brindlecap")
    s.dovecot.add_mail(USER, blocked_mail("second"))
    for args in (["set", "Aktion", "integer", "2"], ["set", "CheckBox_SendError", "integer", "1"]):
        assert run_as_user(home, config + args).returncode == 0
    proxy.wait_for_log("Awaiting connection.", after=mark)
    harness.wait_for_listening(1111, timeout=15.0)
    mark = proxy.mark()
    client = harness.MailProgram(port=1111)
    s.clients.append(client)
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    assert client.pop.stat()[0] == 0
    assert client.pop.quit().startswith(b"+OK")
    proxy.wait_for_log("Mail 1 blocked.", after=mark)
    with open(os.path.join(state, "mail.eml"), "rb") as f:
        assert b"second" in f.read()
    assert stat.S_IMODE(os.stat(state).st_mode) == 0o700
    assert os.stat(state).st_uid == NOBODY.pw_uid
    # The working files of both checks were made there and removed again.
    assert sorted(os.listdir(state)) == ["mail.eml"], os.listdir(state)
    assert snapshot(folder) == before, "the program folder was written to"
    assert "Error" not in proxy.log(), proxy.log()


def test_a_port_the_user_may_not_open_is_explained_in_the_log(s):
    root = throwaway_root(s)
    home = fresh_home(s)
    proxy = start_as_user(s, root, home)
    failed = proxy.wait_for_log("***Error in Server!", timeout=15.0)
    proxy.wait_for_log("***Cannot listen", after=failed, timeout=5.0)
    assert proxy.log_lines()[failed + 1] == (
        "***Cannot listen on port 111: Permission denied (error 10013). Ports below 1024 need "
        "privileges. Choose another port with \"brindlecap-config port listen 1111\" (1024 to "
        "65535), then press Reset or send SIGUSR1."), proxy.log()
    # Following the advice, then Reset, it listens.
    done = run_as_user(home, [os.path.join(root, "usr/bin/brindlecap-config"), "port", "listen",
                              "1111"])
    assert done.returncode == 0, done
    mark = proxy.mark()
    proxy.proc.send_signal(signal.SIGUSR1)
    proxy.wait_for_log("Awaiting connection.", after=mark, timeout=15.0)
    harness.wait_for_listening(1111, timeout=5.0)


def test_autostart_on_and_off_as_the_user(s):
    root = throwaway_root(s)
    home = fresh_home(s)
    config = [os.path.join(root, "usr/bin/brindlecap-config"), "autostart"]
    entry = os.path.join(home, ".config/autostart/brindlecap.desktop")
    on = run_as_user(home, config + ["on"])
    assert on.returncode == 0, on
    assert on.stdout == "autostart on (%s)\n" % entry, on.stdout
    with open(entry) as f:
        text = f.read()
    assert 'Exec="%s/brindlecap"\n' % os.path.join(root, PROGRAM_FOLDER) in text, text
    assert os.stat(entry).st_uid == NOBODY.pw_uid
    if shutil.which("desktop-file-validate"):
        checked = subprocess.run(["desktop-file-validate", entry], capture_output=True,
                                 text=True)
        assert checked.returncode == 0, checked.stdout + checked.stderr
    # Another configuration folder, as the desktop names it.
    other = run_as_user(home, config, {"XDG_CONFIG_HOME": os.path.join(home, "elsewhere")})
    assert other.stdout.startswith("autostart off"), other.stdout
    off = run_as_user(home, config + ["off"])
    assert off.returncode == 0 and off.stdout.startswith("autostart off"), off
    assert not os.path.exists(entry)


def test_lintian_finds_no_error(s):
    if shutil.which("lintian") is None:
        raise harness.HarnessError("lintian is not installed (scripts/install-deps.sh adds it)")
    out = subprocess.run(["lintian", "--no-cfg", package()], capture_output=True, text=True,
                         timeout=600)
    print(out.stdout, end="")
    errors = [line for line in out.stdout.splitlines() if line.startswith("E:")]
    assert errors == [], out.stdout + out.stderr


if __name__ == "__main__":
    harness.main(__file__, globals())
