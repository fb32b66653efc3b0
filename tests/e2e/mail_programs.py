"""Real mail programs (fetchmail, mpop, getmail, neomutt, curl) run against the proxy inside
the test's network namespace, each with a configuration written at test time into the
scenario's folder, and a recorder that notes every command line a program sends.

    import mail_programs as mp
    rec = mp.Recorder(listen_port=2111, target_port=111).start()   # program -> rec -> proxy
    fm = mp.Fetchmail(s.root, port=2111, user="127.0.0.1/alice", password="pw", keep=True)
    result = fm.run()              # a ProgramRun: exit code, output, mails delivered so far
    rec.commands()                 # ["CAPA", "USER 127.0.0.1/alice", "PASS pw", "STAT", ...]

A program that is not installed makes `require` raise `Missing`, which the test scripts turn
into a skip of the whole script.
"""

import contextlib
import os
import pwd
import shlex
import shutil
import socket
import stat
import subprocess
import threading
import time


class Missing(Exception):
    """A mail program the test needs is not installed."""


def require(*programs):
    absent = [p for p in programs if shutil.which(p) is None]
    if absent:
        raise Missing("not installed: " + ", ".join(absent))


def _write_private(path, text):
    """Configuration files with passwords in them: the programs refuse them unless only
    their owner may read them."""
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, stat.S_IRUSR | stat.S_IWUSR)


def _program_env(home):
    env = dict(os.environ)
    for k in ("DISPLAY", "WAYLAND_DISPLAY", "MAIL", "MAILDIR", "FETCHMAILHOME", "MUTT",
              "NEOMUTT"):
        env.pop(k, None)
    env["HOME"] = home
    env["LC_ALL"] = "C.UTF-8"
    return env


def _maildir(path):
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(path, sub), exist_ok=True)
    return path


def maildir_mails(path):
    """The mails of a maildir as bytes, oldest first (by file name, which starts with the
    delivery time)."""
    out = []
    for sub in ("new", "cur"):
        d = os.path.join(path, sub)
        if os.path.isdir(d):
            for name in os.listdir(d):
                with open(os.path.join(d, name), "rb") as f:
                    out.append((name, f.read()))
    return [content for _, content in sorted(out)]


class ProgramRun:
    def __init__(self, args, returncode, output):
        self.args = args
        self.returncode = returncode
        self.output = output

    def __repr__(self):
        return "exit %r of %s:\n%s" % (self.returncode, " ".join(self.args), self.output)


def _run(args, env, cwd, timeout):
    try:
        proc = subprocess.run(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout)
        return ProgramRun(args, proc.returncode, proc.stdout.decode("utf-8", "replace"))
    except subprocess.TimeoutExpired as e:
        out = (e.output or b"").decode("utf-8", "replace")
        return ProgramRun(args, "timeout", out)


# ---------------------------------------------------------------------------------------------
# Recorder


class Recorder:
    """A relay between a mail program and the proxy (or any POP3 server) that notes each line
    the program sends. One connection at a time, in arrival order; every connection's lines
    are kept, so a program's second run adds to the same list."""

    def __init__(self, listen_port, target_port, host="127.0.0.1"):
        self.host = host
        self.listen_port = listen_port
        self.target_port = target_port
        self._lines = []  # (connection number, line)
        self._lock = threading.Lock()
        self._connections = 0
        self._server = None
        self._thread = None
        self._stopping = False

    def start(self):
        self._server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._server.bind((self.host, self.listen_port))
        self._server.listen(4)
        self._thread = threading.Thread(target=self._accept_loop, daemon=True)
        self._thread.start()
        return self

    def _accept_loop(self):
        while not self._stopping:
            try:
                client, _ = self._server.accept()
            except OSError:
                return
            with self._lock:
                self._connections += 1
                number = self._connections
            try:
                upstream = socket.create_connection((self.host, self.target_port), timeout=10)
            except OSError:
                client.close()
                continue
            upstream.settimeout(None)
            threading.Thread(target=self._pump_replies, args=(upstream, client),
                             daemon=True).start()
            self._pump_commands(client, upstream, number)

    def _pump_commands(self, client, upstream, number):
        pending = b""
        try:
            while True:
                data = client.recv(65536)
                if not data:
                    break
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    with self._lock:
                        self._lines.append((number, line.rstrip(b"\r").decode("latin-1")))
                upstream.sendall(data)
        except OSError:
            pass
        finally:
            # A program that leaves without QUIT leaves the same way on the other side.
            with contextlib.suppress(OSError):
                upstream.shutdown(socket.SHUT_RDWR)
            upstream.close()
            client.close()

    @staticmethod
    def _pump_replies(upstream, client):
        try:
            while True:
                data = upstream.recv(65536)
                if not data:
                    break
                client.sendall(data)
        except OSError:
            pass
        finally:
            with contextlib.suppress(OSError):
                client.shutdown(socket.SHUT_RDWR)

    def commands(self, connection=None):
        """The lines sent, of one connection (1 = the first) or of all of them."""
        with self._lock:
            return [line for n, line in self._lines if connection is None or n == connection]

    def keywords(self, connection=None):
        """Only the first word of each line, upper-cased: the command sequence."""
        return [line.split(" ", 1)[0].upper() for line in self.commands(connection)]

    def connections(self):
        with self._lock:
            return self._connections

    def stop(self):
        self._stopping = True
        with contextlib.suppress(OSError):
            self._server.shutdown(socket.SHUT_RDWR)
        with contextlib.suppress(OSError):
            self._server.close()

    close = stop  # a scenario closes it with its clients


# ---------------------------------------------------------------------------------------------
# The programs


class _Program:
    name = ""

    def __init__(self, root, port, user, password, host="127.0.0.1", keep=False, timeout=120):
        require(self.binary)
        self.home = os.path.join(root, self.name)
        os.makedirs(self.home, exist_ok=True)
        self.host = host
        self.port = port
        self.user = user
        self.password = password
        self.keep = keep
        self.timeout = timeout
        self.env = _program_env(self.home)

    def mails(self):
        """Every mail delivered so far, as bytes."""
        return maildir_mails(self.maildir)

    def version(self):
        return _run(self.version_args, self.env, self.home, 30).output.strip().splitlines()[0]


class Fetchmail(_Program):
    """fetchmail with only what any plain-text POP3 server asks for (`sslproto ''`): no
    `auth`, no `fetchall`. Mails go through an MDA into a maildir, since no SMTP listener
    exists in the namespace."""

    name = "fetchmail"
    binary = "fetchmail"
    version_args = ["fetchmail", "--version"]

    def __init__(self, *args, **kw):
        super().__init__(*args, **kw)
        self.maildir = _maildir(os.path.join(self.home, "Maildir"))
        deliver = os.path.join(self.home, "deliver")
        with open(deliver, "w") as f:
            f.write('#!/bin/sh\n'
                    'name="$(date +%%s%%N).$$"\n'
                    'cat > "%s/tmp/$name" && mv "%s/tmp/$name" "%s/new/$name"\n' %
                    ((self.maildir,) * 3))
        os.chmod(deliver, 0o755)
        self.rcfile = os.path.join(self.home, "fetchmailrc")
        _write_private(self.rcfile, (
            "set no syslog\n"
            "poll {host} protocol pop3 port {port}\n"
            "  user \"{user}\" password \"{password}\"\n"
            "  sslproto ''\n"
            "  {keep}\n"
            "  mda \"{deliver}\"\n").format(host=self.host, port=self.port, user=self.user,
                                            password=self.password,
                                            keep="keep" if self.keep else "nokeep",
                                            deliver=deliver))

    def run(self):
        args = ["fetchmail", "-v", "-N", "-f", self.rcfile,
                "--idfile", os.path.join(self.home, "fetchids"),
                "--pidfile", os.path.join(self.home, "fetchmail.pid")]
        return _run(args, self.env, self.home, self.timeout)


class Mpop(_Program):
    """mpop with what any plain-text POP3 server asks for: `tls off`, `auth user`."""

    name = "mpop"
    binary = "mpop"
    version_args = ["mpop", "--version"]

    def __init__(self, *args, **kw):
        super().__init__(*args, **kw)
        self.maildir = _maildir(os.path.join(self.home, "Maildir"))
        self.rcfile = os.path.join(self.home, "mpoprc")
        _write_private(self.rcfile, (
            "account default\n"
            "host {host}\n"
            "port {port}\n"
            "user {user}\n"
            "password {password}\n"
            "tls off\n"
            "auth user\n"
            "keep {keep}\n"
            "delivery maildir {maildir}\n"
            "uidls_file {uidls}\n").format(host=self.host, port=self.port, user=self.user,
                                           password=self.password,
                                           keep="on" if self.keep else "off",
                                           maildir=self.maildir,
                                           uidls=os.path.join(self.home, "uidls")))

    def run(self):
        args = ["mpop", "--file=" + self.rcfile, "--half-quiet", "--all-accounts"]
        return _run(args, self.env, self.home, self.timeout)


class Getmail(_Program):
    """getmail with its usual retriever, SimplePOP3Retriever, fetching only mails it has not
    seen (`read_all = false`), deleting them unless `keep`."""

    name = "getmail"
    binary = "getmail"
    version_args = ["getmail", "--version"]

    def __init__(self, *args, **kw):
        super().__init__(*args, **kw)
        self.maildir = _maildir(os.path.join(self.home, "Maildir"))
        self.rcfile = os.path.join(self.home, "getmailrc")
        _write_private(self.rcfile, (
            "[retriever]\n"
            "type = SimplePOP3Retriever\n"
            "server = {host}\n"
            "port = {port}\n"
            "username = {user}\n"
            "password = {password}\n"
            "\n"
            "[destination]\n"
            "type = Maildir\n"
            "path = {maildir}/\n"
            "{deliver_as}"
            "\n"
            "[options]\n"
            "read_all = false\n"
            "delete = {delete}\n").format(host=self.host, port=self.port, user=self.user,
                                          password=self.password, maildir=self.maildir,
                                          deliver_as=self._deliver_as(),
                                          delete="false" if self.keep else "true"))

    def _deliver_as(self):
        # getmail will not deliver as root (the tests' namespace runs as root): it delivers
        # as an unprivileged user, who owns the maildir.
        if os.geteuid() != 0:
            return ""
        owner = pwd.getpwnam("nobody")
        for dirpath, _, _ in os.walk(self.maildir):
            os.chown(dirpath, owner.pw_uid, owner.pw_gid)
        return "user = nobody\n"

    def run(self):
        args = ["getmail", "--rcfile=" + self.rcfile, "--getmaildir=" + self.home]
        return _run(args, self.env, self.home, self.timeout)


class Neomutt(_Program):
    """neomutt fetching into a local mbox with <fetch-mail>, then quitting. It is a screen
    program, so it runs under `script` for a terminal; `ssl_force_tls=no` lets it log in to a
    plain-text server on localhost, `pop_delete` says whether it deletes what it fetched."""

    name = "neomutt"
    binary = "neomutt"
    version_args = ["neomutt", "-v"]

    def __init__(self, *args, **kw):
        super().__init__(*args, **kw)
        require("script")
        self.mbox = os.path.join(self.home, "inbox")
        open(self.mbox, "a").close()
        self.rcfile = os.path.join(self.home, "neomuttrc")
        _write_private(self.rcfile, (
            "set ssl_force_tls = no\n"
            "set ssl_starttls = no\n"
            "set pop_host = \"pop://{user}@{host}:{port}\"\n"
            "set pop_pass = \"{password}\"\n"
            "set pop_delete = {delete}\n"
            "set mbox_type = mbox\n"
            "set spoolfile = \"{mbox}\"\n"
            "set folder = \"{home}\"\n"
            "set header_cache = \"\"\n"
            "set message_cachedir = \"\"\n"
            "set wait_key = no\n"
            "set move = no\n").format(host=self.host, port=self.port,
                                      user=self.user.replace("/", "%2F"),
                                      password=self.password, mbox=self.mbox,
                                      home=self.home,
                                      delete="no" if self.keep else "yes"))

    def run(self):
        inner = "neomutt -n -F %s -e %s" % (
            shlex.quote(self.rcfile), shlex.quote("push '<fetch-mail><exit>'"))
        env = dict(self.env, TERM="xterm", COLUMNS="120", LINES="40")
        args = ["script", "-q", "-e", "-c", inner, "/dev/null"]
        return _run(args, env, self.home, self.timeout)

    def mails(self):
        with open(self.mbox, "rb") as f:
            text = f.read()
        if not text:
            return []
        parts = text.split(b"\nFrom ")
        return [p if i == 0 else b"From " + p for i, p in enumerate(parts)]


class Curl(_Program):
    """curl's POP3 support: a URL without a number lists, one with a number fetches."""

    name = "curl"
    binary = "curl"
    version_args = ["curl", "--version"]

    def run(self, number=None):
        url = "pop3://%s:%d/%s" % (self.host, self.port, "" if number is None else number)
        args = ["curl", "--silent", "--show-error", "--max-time", str(self.timeout),
                "--user", "%s:%s" % (self.user, self.password), url]
        return _run(args, self.env, self.home, self.timeout + 10)
