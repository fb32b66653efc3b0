"""Whole-program test harness: a real POP3 server, the headless proxy and a mail program.

A test script builds a `Scenario` (temporary folder, Dovecot with its users and mailboxes,
the proxy with its registry values and program-folder files), talks to the proxy through
`poplib` and inspects the proxy's log. Everything runs inside a private network namespace,
so the fixed ports are free and no packet leaves the machine.

    import harness
    harness.main(__file__, globals())      # runs every test_* function, see below

Each test function takes one argument, a fresh `Scenario`.
"""

import contextlib
import errno
import fcntl
import os
import poplib
import pwd
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import traceback

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests
IN_NAMESPACE_ENV = "BRINDLECAP_E2E_NETNS"
DOVECOT = os.environ.get("BRINDLECAP_DOVECOT", "/usr/sbin/dovecot")


class HarnessError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Network namespace


def _probe_namespace():
    """Returns None when `unshare -n` works here, else the reason it does not."""
    if shutil.which("unshare") is None:
        return "unshare is not installed"
    if shutil.which("ip") is None:
        return "ip (iproute2) is not installed"
    try:
        probe = subprocess.run(["unshare", "-n", "ip", "link", "set", "lo", "up"],
                               capture_output=True, text=True, timeout=20)
    except (OSError, subprocess.TimeoutExpired) as e:
        return "unshare -n could not run: %s" % e
    if probe.returncode != 0:
        return "unshare -n failed: %s" % (probe.stderr.strip() or probe.returncode)
    return None


def enter_private_network(script, argv):
    """Re-runs the script inside its own network namespace, or exits with SKIP."""
    if os.environ.get(IN_NAMESPACE_ENV) == "1":
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        return
    reason = _probe_namespace()
    if reason is not None:
        print("SKIPPED: no private network namespace available (%s)" % reason)
        sys.exit(SKIP)
    env = dict(os.environ)
    env[IN_NAMESPACE_ENV] = "1"
    rc = subprocess.call(["unshare", "-n", sys.executable, os.path.abspath(script)] + argv,
                         env=env)
    sys.exit(rc)


# ---------------------------------------------------------------------------------------------
# Small helpers


def wait_for_port(host, port, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with contextlib.suppress(OSError):
            with socket.create_connection((host, port), timeout=1.0):
                return
        time.sleep(0.05)
    raise HarnessError("nothing listens on %s:%d after %.0f s" % (host, port, timeout))


def port_is_listening(port):
    """Whether a socket of this network namespace listens on the TCP port. Looks it up in
    /proc instead of connecting, since the proxy takes any connection as its one session."""
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with contextlib.suppress(OSError):
            with open(table) as f:
                next(f)
                for row in f:
                    fields = row.split()
                    local, state = fields[1], fields[3]
                    if state == "0A" and int(local.rsplit(":", 1)[1], 16) == port:
                        return True
    return False


def wait_for_listening(port, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if port_is_listening(port):
            return
        time.sleep(0.02)
    raise HarnessError("nothing listens on port %d after %.0f s" % (port, timeout))


def crlf(text):
    """A mail text with every line ended by CR LF, whatever it was written with."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    lines = text.replace(b"\r\n", b"\n").split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return b"".join(line + b"\r\n" for line in lines)


# ---------------------------------------------------------------------------------------------
# Dovecot


class Dovecot:
    """A private Dovecot instance serving POP3 only, with plaintext logins and maildirs."""

    def __init__(self, root, users, port=110, host="127.0.0.1"):
        self.root = os.path.join(root, "dovecot")
        self.host = host
        self.port = port
        self.users = dict(users)  # name -> password
        self.proc = None
        os.makedirs(self.root)
        os.chmod(self.root, 0o755)
        owner = pwd.getpwnam("dovecot") if _has_user("dovecot") else pwd.getpwnam("nobody")
        self.uid, self.gid = owner.pw_uid, owner.pw_gid
        self.mail_root = os.path.join(self.root, "mail")
        os.makedirs(self.mail_root)
        os.chown(self.mail_root, self.uid, self.gid)
        self._serial = 0
        for name in self.users:
            self._maildir(name)
        self._write_config()

    def _maildir(self, user):
        home = os.path.join(self.mail_root, user)
        md = os.path.join(home, "Maildir")
        for sub in ("cur", "new", "tmp"):
            d = os.path.join(md, sub)
            if not os.path.isdir(d):
                os.makedirs(d)
        for dirpath, _, _ in os.walk(home):
            os.chown(dirpath, self.uid, self.gid)
        return md

    def add_mail(self, user, content):
        """Delivers one mail (bytes or str) into the user's maildir, kept as written."""
        if isinstance(content, str):
            content = content.encode("latin-1")
        md = self._maildir(user)
        self._serial += 1
        name = "%d.M%dP%d.brindlecap-test" % (int(time.time()), self._serial, os.getpid())
        path = os.path.join(md, "new", name)
        with open(path, "wb") as f:
            f.write(content)
        os.chown(path, self.uid, self.gid)
        return path

    def mail_count(self, user):
        md = self._maildir(user)
        return sum(len(os.listdir(os.path.join(md, sub))) for sub in ("cur", "new"))

    def _write_config(self):
        passwd = os.path.join(self.root, "passwd")
        with open(passwd, "w") as f:
            for name, password in self.users.items():
                f.write("%s:{PLAIN}%s:%d:%d::%s::\n" %
                        (name, password, self.uid, self.gid, os.path.join(self.mail_root, name)))
        os.chmod(passwd, 0o644)
        self.log_path = os.path.join(self.root, "dovecot.log")
        base = os.path.join(self.root, "run")
        state = os.path.join(self.root, "state")
        for d in (base, state):
            os.makedirs(d)
        self.config_path = os.path.join(self.root, "dovecot.conf")
        with open(self.config_path, "w") as f:
            f.write("""\
base_dir = {base}
state_dir = {state}
log_path = {log}
info_log_path = {log}
protocols = pop3
listen = {host}
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_verbose = yes
auth_failure_delay = 0
mail_location = maildir:~/Maildir
first_valid_uid = {uid}
last_valid_uid = {uid}
first_valid_gid = {gid}
last_valid_gid = {gid}
mail_privileged_group =
pop3_uidl_format = %08Xu%08Xv
shutdown_clients = yes
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {passwd}
}}
userdb {{
  driver = passwd-file
  args = username_format=%u {passwd}
}}
service pop3-login {{
  inet_listener pop3 {{
    address = {host}
    port = {port}
  }}
  inet_listener pop3s {{
    port = 0
  }}
}}
service anvil {{
  chroot =
}}
""".format(base=base, state=state, log=self.log_path, host=self.host, port=self.port,
           uid=self.uid, gid=self.gid, passwd=passwd))

    def start(self):
        self.proc = subprocess.Popen([DOVECOT, "-F", "-c", self.config_path],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            wait_for_port(self.host, self.port, timeout=15.0)
        except HarnessError:
            self.stop()
            raise HarnessError("dovecot did not start:\n" + self.log())
        return self

    def log(self):
        text = ""
        if os.path.exists(self.log_path):
            with open(self.log_path, errors="replace") as f:
                text = f.read()
        return text

    def stop(self):
        if self.proc is None:
            return None
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc.stderr:
            self.proc.stderr.close()
        self.proc = None


def _has_user(name):
    try:
        pwd.getpwnam(name)
        return True
    except KeyError:
        return False


# ---------------------------------------------------------------------------------------------
# Registry file


def registry_text(values):
    """REGEDIT4 text of the proxy's key. `values` maps a name to an int (dword), a str
    (string), bytes (binary) or ("expand", str) for an expandable string."""
    out = ["REGEDIT4", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]"]
    for name, value in values.items():
        if isinstance(value, bool):
            value = int(value)
        if isinstance(value, int):
            out.append('"%s"=dword:%08x' % (name, value & 0xFFFFFFFF))
        elif isinstance(value, str):
            escaped = value.replace("\\", "\\\\").replace('"', '\\"')
            out.append('"%s"="%s"' % (name, escaped))
        elif isinstance(value, (bytes, bytearray)):
            out.append('"%s"=hex:%s' % (name, ",".join("%02x" % b for b in value)))
        elif isinstance(value, tuple) and value[0] == "expand":
            data = value[1].encode("latin-1") + b"\0"
            out.append('"%s"=hex(2):%s' % (name, ",".join("%02x" % b for b in data)))
        else:
            raise HarnessError("registry value of unknown kind: %r" % (value,))
    return "\r\n".join(out) + "\r\n"


# ---------------------------------------------------------------------------------------------
# The proxy


class Proxy:
    """The headless program, started from a program folder of its own so that the files it
    reads and writes beside itself live in the test's temporary folder."""

    def __init__(self, root, binary, listen_port=111, upstream_port=110, registry=None,
                 files=None, env=None):
        if not os.path.isfile(binary):
            raise HarnessError("program not found: %s" % binary)
        self.folder = os.path.join(root, "program")
        os.makedirs(self.folder)
        self.binary = os.path.join(self.folder, os.path.basename(binary))
        try:
            os.link(binary, self.binary)
        except OSError:
            shutil.copy2(binary, self.binary)
        default_texts = os.path.join(os.path.dirname(binary), "Server.ini")
        if os.path.isfile(default_texts) and not (files and "Server.ini" in files):
            shutil.copy2(default_texts, os.path.join(self.folder, "Server.ini"))
        for name, content in (files or {}).items():
            self.write_file(name, content)
        self.registry_path = os.path.join(root, "registry.reg")
        self.set_registry(registry or {})
        self.listen_port = listen_port
        self.upstream_port = upstream_port
        self.env = dict(os.environ)
        for k in ("DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(k, None)
        self.env.update({
            "BRINDLECAP_HEADLESS": "1",
            "BRINDLECAP_REGISTRY": self.registry_path,
            "BRINDLECAP_LISTEN_PORT": str(listen_port),
            "BRINDLECAP_UPSTREAM_PORT": str(upstream_port),
            "BRINDLECAP_OPEN": os.path.join(root, "no-shell-open"),
            "XDG_CONFIG_HOME": os.path.join(root, "config"),
            "XDG_DATA_HOME": os.path.join(root, "data"),
        })
        self.env.update(env or {})
        self.proc = None
        self._lines = []
        self._lines_lock = threading.Condition()
        self._reader = None

    def write_file(self, name, content):
        if isinstance(content, str):
            content = content.encode("latin-1")
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(content)

    def read_file(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def set_registry(self, values):
        with open(self.registry_path, "w", newline="") as f:
            f.write(registry_text(values))

    def start(self, wait=True):
        self.proc = subprocess.Popen([self.binary], cwd=self.folder, env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT)
        self._reader = threading.Thread(target=self._read_output, daemon=True)
        self._reader.start()
        if wait:
            self.wait_for_log("Awaiting connection.", timeout=60.0)
            wait_for_listening(self.listen_port, timeout=5.0)
        return self

    def _read_output(self):
        for raw in self.proc.stdout:
            line = raw.rstrip(b"\r\n").decode("latin-1")
            with self._lines_lock:
                self._lines.append(line)
                self._lines_lock.notify_all()

    def _settle(self, timeout=3.0):
        """Waits until every line the program has written so far has been read: its output
        pipe holds nothing and no line came in for a moment. The program writes a log line
        before the reply it logs is sent, but the reader thread may not have run yet."""
        if self.proc is None or self.proc.stdout is None:
            return
        deadline = time.monotonic() + timeout
        quiet = 0
        while time.monotonic() < deadline and self._reader is not None and self._reader.is_alive():
            try:
                waiting = struct.unpack("i", fcntl.ioctl(self.proc.stdout.fileno(), termios.FIONREAD,
                                                         b"\0\0\0\0"))[0]
            except OSError:
                return
            with self._lines_lock:
                count = len(self._lines)
            if waiting == 0:
                quiet += 1
                if quiet >= 2:
                    return
            else:
                quiet = 0
            time.sleep(0.01)
            with self._lines_lock:
                if len(self._lines) != count:
                    quiet = 0

    def log_lines(self, settle=True):
        """The log so far; with `settle` False, at once, as far as it has been read (for a look
        while the program is still busy writing)."""
        if settle:
            self._settle()
        with self._lines_lock:
            return list(self._lines)

    def log(self):
        return "\n".join(self.log_lines())

    def mark(self):
        """The number of log lines so far, to wait for lines that come after this point."""
        with self._lines_lock:
            return len(self._lines)

    def wait_for_log(self, text, timeout=10.0, after=0):
        """Waits until a log line (from index `after` on) contains `text`; returns its index."""
        deadline = time.monotonic() + timeout
        with self._lines_lock:
            while True:
                for i in range(after, len(self._lines)):
                    if text in self._lines[i]:
                        return i
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not self._reader.is_alive()):
                    raise HarnessError("log line %r not seen within %.0f s; log:\n%s" %
                                       (text, timeout, "\n".join(self._lines)))
                self._lines_lock.wait(min(left, 0.2))

    def wait_until_listening(self, after=0, timeout=15.0):
        """Waits until the service (re)started after log line `after` and listens again."""
        self.wait_for_log("Awaiting connection.", timeout=timeout, after=after)
        wait_for_listening(self.listen_port, timeout=5.0)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self, timeout=10.0):
        """Ends the program as the desktop would (SIGTERM); returns its exit code."""
        if self.proc is None:
            return None
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                raise HarnessError("the proxy did not end within %.0f s of SIGTERM" % timeout)
        if self._reader is not None:
            self._reader.join(timeout=5)
        rc = self.proc.returncode
        self.proc.stdout.close()
        return rc


# ---------------------------------------------------------------------------------------------
# The mail program


class MailProgram:
    """Python's poplib, set up as a mail program that fetches from the proxy."""

    def __init__(self, port=111, host="127.0.0.1", timeout=30.0):
        self.pop = poplib.POP3(host, port, timeout=timeout)
        self.greeting = self.pop.getwelcome()

    def login(self, upstream_host, user, password):
        self.user(upstream_host + "/" + user)
        return self.pass_(password)

    def command(self, line):
        """Sends one raw command line and returns the one-line reply (bytes)."""
        return self.pop._shortcmd(line)

    def user(self, arg):
        return self.pop.user(arg)

    def pass_(self, password):
        return self.pop.pass_(password)

    def raw_send(self, data):
        self.pop.sock.sendall(data)

    def raw_line(self):
        line, _ = self.pop._getline()
        return line

    def close(self):
        with contextlib.suppress(Exception):
            self.pop.close()


class RawClient:
    """A mail program that sends bytes as given, for junk, split commands and pipelining."""

    def __init__(self, port=111, host="127.0.0.1", timeout=30.0):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.timeout = timeout
        self.buffer = b""

    def send(self, data):
        self.sock.sendall(data)

    def line(self, timeout=None):
        """The next line without its CR LF; None when nothing comes within the time."""
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        while b"\r\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            self.sock.settimeout(left)
            try:
                chunk = self.sock.recv(65536)
            except (socket.timeout, TimeoutError):
                return None
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\r\n", 1)
        return line

    def lines_until_quiet(self, quiet=1.5):
        """Every line that arrives until nothing more comes for `quiet` seconds."""
        out = []
        while True:
            line = self.line(timeout=quiet)
            if line is None:
                return out
            out.append(line)

    def closed(self, timeout=10.0):
        """True when the proxy closes the connection within the time."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                chunk = self.sock.recv(65536)
            except (socket.timeout, TimeoutError):
                return False
            except ConnectionResetError:
                return True
            if not chunk:
                return True
            self.buffer += chunk
        return False

    def close(self):
        with contextlib.suppress(OSError):
            self.sock.close()


# ---------------------------------------------------------------------------------------------
# One test's world


class Scenario:
    """Owns a temporary folder and everything started in it; `close` tears all of it down."""

    def __init__(self, binary, keep=False):
        self.binary = binary
        self.root = tempfile.mkdtemp(prefix="brindlecap-e2e-")
        os.chmod(self.root, 0o755)
        self.keep = keep
        self.dovecot = None
        self.proxy = None
        self.clients = []

    def start_dovecot(self, users, mailboxes=None, port=110):
        """users: name -> password; mailboxes: name -> list of mails (bytes or str)."""
        self.dovecot = Dovecot(self.root, users, port=port)
        for user, mails in (mailboxes or {}).items():
            for mail in mails:
                self.dovecot.add_mail(user, mail)
        self.dovecot.start()
        return self.dovecot

    def start_proxy(self, registry=None, files=None, listen_port=111, upstream_port=110,
                    env=None, wait=True):
        self.proxy = Proxy(self.root, self.binary, listen_port=listen_port,
                           upstream_port=upstream_port, registry=registry, files=files,
                           env=env)
        self.proxy.start(wait=wait)
        return self.proxy

    def connect(self, timeout=30.0):
        port = self.proxy.listen_port if self.proxy else 111
        client = MailProgram(port=port, timeout=timeout)
        self.clients.append(client)
        return client

    def connect_raw(self, timeout=30.0):
        port = self.proxy.listen_port if self.proxy else 111
        client = RawClient(port=port, timeout=timeout)
        self.clients.append(client)
        return client

    def direct(self, timeout=30.0):
        """A poplib session straight to Dovecot, to compare with what the proxy serves."""
        return poplib.POP3("127.0.0.1", self.dovecot.port, timeout=timeout)

    def close(self):
        for c in self.clients:
            c.close()
        errors = []
        for part in (self.proxy, self.dovecot):
            if part is not None:
                try:
                    rc = part.stop()
                    if part is self.proxy and rc not in (0, None):
                        errors.append("the proxy ended with exit code %r" % rc)
                except Exception as e:  # keep tearing down the rest
                    errors.append(str(e))
        if self.proxy is not None:
            for marker in ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"):
                if marker in self.proxy.log():
                    errors.append("sanitizer report in the proxy's output:\n" + self.proxy.log())
                    break
        if not self.keep:
            shutil.rmtree(self.root, ignore_errors=True)
        if errors:
            raise HarnessError("; ".join(errors))

    def diagnostics(self):
        parts = []
        if self.proxy is not None:
            parts.append("--- proxy log ---\n" + self.proxy.log())
        if self.dovecot is not None:
            parts.append("--- dovecot log ---\n" + self.dovecot.log()[-4000:])
        return "\n".join(parts)


# ---------------------------------------------------------------------------------------------
# Running the tests of one script


def _find_binary(argv):
    for i, a in enumerate(argv):
        if a == "--program" and i + 1 < len(argv):
            return argv[i + 1]
    return os.environ.get("BRINDLECAP_PROGRAM", "")


def main(script, namespace, argv=None):
    """Runs every `test_*` function of the calling script, each with a fresh Scenario, inside
    a private network namespace. Arguments: --program PATH, optional test names to select."""
    argv = list(sys.argv[1:] if argv is None else argv)
    enter_private_network(script, argv)
    binary = _find_binary(argv)
    if not binary:
        print("usage: %s --program PATH/brindlecap [test names]" % script)
        sys.exit(2)
    selected = [a for i, a in enumerate(argv)
                if not a.startswith("--") and (i == 0 or argv[i - 1] != "--program")]
    tests = [(name, fn) for name, fn in sorted(namespace.items())
             if name.startswith("test_") and callable(fn)
             and (not selected or name in selected)]
    passed = failed = 0
    for name, fn in tests:
        scenario = Scenario(binary, keep=bool(os.environ.get("BRINDLECAP_E2E_KEEP")))
        started = time.monotonic()
        try:
            fn(scenario)
            ok = True
        except Exception:
            ok = False
            print("FAIL %s\n%s%s" % (name, traceback.format_exc(), scenario.diagnostics()))
        try:
            scenario.close()
        except Exception as e:
            if ok:
                print("FAIL %s (teardown): %s" % (name, e))
            ok = False
        if ok:
            passed += 1
            print("ok   %s (%.1f s)" % (name, time.monotonic() - started))
        else:
            failed += 1
        sys.stdout.flush()
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(0 if failed == 0 else 1)
