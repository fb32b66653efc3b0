#!/usr/bin/env python3
"""Servers that misbehave: silence at every step, a session that ends in the middle of a
listing or a mail, listings that disagree with STAT, ids and mails of every odd shape, status
lines that are none, replies out of step, a server that trickles its bytes, and refused DELE
and QUIT. Each case must end with a reply to every command the mail program sent (within the
reply time limit), no mail served other than the server sent it, and a proxy that serves the
next normal session.

The cases that wait for the 58-second reply limit run at the same time, each on a proxy of its
own; the quick ones run one after the other on one more proxy."""

import os
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

GREETING = b"+OK Welcome to vevazurod"
SERVER_GREETING = b"+OK rude server ready <1.2@rude>\r\n"
REPLY_LIMIT = 58.0
SILENT, CLOSE = "silent", "close"


class Repeat:
    """Sends these bytes again and again, after a pause each time, until the peer is gone."""

    def __init__(self, data, pause):
        self.data, self.pause = data, pause


def expect(actual, wanted, what=""):
    if actual != wanted:
        raise AssertionError("%sexpected %r, got %r" % (what and what + ": ", wanted, actual))


def mail(subject, body="hello\r\n"):
    return ("From: a@example.org\r\nSubject: %s\r\n\r\n%s" % (subject, body)).encode("latin-1")


def stuffed(content):
    """What a server sends for a stored mail: dot-stuffed, ended by the terminating line."""
    lines = content.split(b"\r\n")
    if content.endswith(b"\r\n") or not content:
        lines.pop()
    return b"".join((b"." if line.startswith(b".") else b"") + line + b"\r\n"
                    for line in lines) + b".\r\n"


GOOD_MAILS = [mail("one"), mail("two", ".dotted line\r\nand more\r\n")]


class Case:
    """One mailbox with its misbehaviour: `replies` maps a command (or "RETR 2") to the bytes
    sent for it, SILENT (never answered, nor anything after it), CLOSE, a list of those, or a
    function of the argument that returns one."""

    def __init__(self, mails=None, uids=None, replies=None):
        self.mails = list(GOOD_MAILS if mails is None else mails)
        self.uids = uids if uids is not None else ["uid-%d" % (i + 1) for i in
                                                    range(len(self.mails))]
        self.replies = dict(replies or {})
        self.deleted = set()
        self.commands = []

    def standard(self, cmd, arg):
        count = len(self.mails)
        if cmd in ("USER", "PASS", "NOOP", "RSET"):
            return b"+OK\r\n"
        if cmd == "STAT":
            return b"+OK %d %d\r\n" % (count, sum(len(m) for m in self.mails))
        if cmd == "LIST":
            return (b"+OK\r\n" + b"".join(b"%d %d\r\n" % (i + 1, len(m))
                                           for i, m in enumerate(self.mails)) + b".\r\n")
        if cmd == "UIDL":
            return (b"+OK\r\n" + b"".join(b"%d %s\r\n" % (i + 1, u.encode("latin-1"))
                                           for i, u in enumerate(self.uids)) + b".\r\n")
        if cmd == "RETR":
            n = int(arg)
            return b"+OK\r\n" + stuffed(self.mails[n - 1])
        if cmd == "DELE":
            self.deleted.add(int(arg))
            return b"+OK marked\r\n"
        if cmd == "QUIT":
            return [b"+OK bye\r\n", CLOSE]
        return b"-ERR unknown\r\n"

    def answer(self, cmd, arg):
        self.commands.append((cmd + " " + arg).strip())
        for key in ((cmd + " " + arg).strip(), cmd):
            if key in self.replies:
                action = self.replies[key]
                return action(arg) if callable(action) else action
        return self.standard(cmd, arg)


class RudeServer:
    """A POP3 server on 127.0.0.1 that plays the case named by the mailbox of the USER command
    (the greeting comes before it, so its own misbehaviour is the server's). `pace` sends
    every byte on its own after that many seconds."""

    def __init__(self, port, cases, greeting=SERVER_GREETING, pace=0.0):
        self.cases, self.greeting, self.pace = cases, greeting, pace
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(8)
        self.sock.settimeout(0.2)
        self.stopping = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        while not self.stopping:
            try:
                conn, _ = self.sock.accept()
            except (socket.timeout, TimeoutError):
                continue
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _send(self, conn, data):
        if not self.pace:
            conn.sendall(data)
            return
        for i in range(len(data)):
            time.sleep(self.pace)
            conn.sendall(data[i:i + 1])

    def _play(self, conn, actions):
        """False when the session is over (closed or silent from here on)."""
        for action in actions if isinstance(actions, list) else [actions]:
            if action == CLOSE:
                return False
            if action == SILENT:
                while not self.stopping and conn.recv(65536):
                    pass
                return False
            if isinstance(action, Repeat):
                while not self.stopping:
                    time.sleep(action.pause)
                    conn.sendall(action.data)
                return False
            self._send(conn, action)
        return True

    def _serve(self, conn):
        conn.settimeout(120)
        try:
            if not self._play(conn, self.greeting):
                return
            case, pending = None, b""
            while not self.stopping:
                while b"\n" not in pending:
                    chunk = conn.recv(65536)
                    if not chunk:
                        return
                    pending += chunk
                line, pending = pending.split(b"\n", 1)
                words = line.rstrip(b"\r").decode("latin-1").split(" ", 1)
                cmd, arg = words[0].upper(), words[1] if len(words) > 1 else ""
                if cmd == "USER":
                    case = self.cases.get(arg)
                if case is None:
                    conn.sendall(b"-ERR no such case\r\n")
                    continue
                if not self._play(conn, case.answer(cmd, arg)):
                    return
        except OSError:
            pass
        finally:
            conn.close()

    def stop(self):
        self.stopping = True
        self.thread.join(timeout=5)
        self.sock.close()


# ---------------------------------------------------------------------------------------------
# The mail program's side


def multiline(c, timeout=None):
    """The data lines of a multi-line reply, unstuffed; raises when it does not end."""
    lines = []
    while True:
        line = c.line(timeout=timeout)
        if line is None:
            raise AssertionError("multi-line reply did not end; had %r" % lines)
        if line == b".":
            return lines
        lines.append(line[1:] if line.startswith(b".") else line)


def ask(c, command, timeout=None):
    c.send(command + b"\r\n")
    reply = c.line(timeout=timeout)
    if reply is None:
        raise AssertionError("no reply to %r" % command)
    return reply


def login(c, mailbox, server="127.0.0.1", timeout=None):
    expect(c.line(), GREETING)
    user = ask(c, b"USER " + server.encode() + b"/" + mailbox.encode(), timeout)
    return user, (ask(c, b"PASS pw", timeout) if user.startswith(b"+") else None)


def quit_and_relisten(proxy, c):
    """QUIT is answered (when the connection is still there) and the service listens again."""
    try:
        c.send(b"QUIT\r\n")
        line = c.line(timeout=20)
    except OSError:
        line = None
    if line not in (b"+OK Vevazurod quits", None):
        raise AssertionError("QUIT got %r" % line)
    if not c.closed(timeout=20):
        raise AssertionError("the connection stayed open after QUIT")
    c.close()
    proxy.wait_for_log("Awaiting connection.", timeout=20, after=proxy.last_session)
    harness.wait_for_listening(proxy.listen_port, timeout=10)


def connect(proxy, timeout=30.0):
    proxy.last_session = proxy.mark()
    return harness.RawClient(port=proxy.listen_port, timeout=timeout)


def normal_session(proxy, server="127.0.0.1"):
    """The proxy still listens and serves a whole mailbox byte for byte."""
    c = connect(proxy)
    expect(login(c, "good", server), (b"+OK", b"+OK"))
    expect(ask(c, b"STAT"), b"+OK 2 %d" % sum(len(m) for m in GOOD_MAILS))
    for n, content in enumerate(GOOD_MAILS, 1):
        expect(ask(c, b"RETR %d" % n), b"+OK Message follows")
        expect(b"".join(line + b"\r\n" for line in multiline(c)), content, "mail %d" % n)
    quit_and_relisten(proxy, c)


def check_proxy_output(proxy):
    for marker in ("ERROR: AddressSanitizer", "runtime error:", "Segmentation"):
        if marker in proxy.log():
            raise AssertionError("%s in the proxy's output:\n%s" % (marker, proxy.log()))
    if not proxy.running():
        raise AssertionError("the proxy ended:\n" + proxy.log())


# ---------------------------------------------------------------------------------------------
# Cases


def silence_cases():
    """Name -> (case, the command that meets the silence, its expected reply)."""
    return {
        "silent-user": (Case(replies={"USER": SILENT}), b"USER", b"-ERR TimeOut"),
        "silent-pass": (Case(replies={"PASS": SILENT}), b"PASS", b"-ERR TimeOut"),
        "silent-stat": (Case(replies={"STAT": SILENT}), b"STAT", b"-ERR TimeOut"),
        "silent-list": (Case(replies={"LIST": [b"+OK\r\n1 %d\r\n" % len(GOOD_MAILS[0]),
                                               SILENT]}), b"STAT", b"-ERR TimeOut"),
        "silent-uidl": (Case(replies={"UIDL": SILENT}), b"STAT", b"-ERR TimeOut"),
        "silent-retr": (Case(replies={"RETR 2": [b"+OK\r\nSubject: x\r\n", SILENT]}), b"STAT",
                        b"-ERR TimeOut"),
        "silent-dele": (Case(replies={"DELE": SILENT}), b"DELE 1", b"-ERR TimeOut"),
        "silent-quit": (Case(replies={"QUIT": SILENT}), b"QUIT", b"+OK Vevazurod quits"),
        # Replies that never end: lines past what the server announced, fast or trickling.
        "endless-list": (Case(replies={"LIST": [b"+OK\r\n1 10\r\n2 10\r\n",
                                                Repeat(b"3 10\r\n1 10\r\nx\r\n", 0.01)]}),
                         b"STAT", b"-ERR TimeOut"),
        "endless-uidl": (Case(replies={"UIDL": [b"+OK\r\n1 a\r\n2 b\r\n",
                                                Repeat(b"1 a\r\n3 c\r\n", 0.01)]}),
                         b"STAT", b"-ERR TimeOut"),
        "endless-retr": (Case(replies={"RETR 1": [b"+OK\r\n",
                                                  Repeat(b"z" * 198 + b"\r\n", 0.05)]}),
                         b"STAT", b"-ERR TimeOut"),
    }


def silent_session(proxy, name, command, wanted):
    c = connect(proxy, timeout=REPLY_LIMIT + 40)
    started = time.monotonic()
    user, password = login(c, name, timeout=REPLY_LIMIT + 40)
    if command == b"USER":
        got = user
    elif command == b"PASS":
        got = password
    else:
        expect((user, password), (b"+OK", b"+OK"), name)
        got = ask(c, command, timeout=REPLY_LIMIT + 40)
    expect(got, wanted, name)
    took = time.monotonic() - started
    if took > REPLY_LIMIT + 30:
        raise AssertionError("%s: the reply took %.0f s" % (name, took))
    quit_and_relisten(proxy, c)


def silent_greeting_session(proxy):
    c = connect(proxy, timeout=REPLY_LIMIT + 40)
    expect(c.line(), GREETING)
    expect(ask(c, b"USER 127.0.0.1:2112/good", timeout=REPLY_LIMIT + 40),
           b"-ERR Error during Connect!")
    # A failed connect ends the session and makes the service listen again.
    if not c.closed(timeout=20):
        raise AssertionError("the connection stayed open after the failed connect")
    proxy.wait_for_log("Awaiting connection.", timeout=20, after=proxy.last_session)
    harness.wait_for_listening(proxy.listen_port, timeout=10)


def trickle_session(proxy):
    """Every byte of the server after 50 ms: slow, but every reply comes and the mail whole."""
    c = connect(proxy, timeout=REPLY_LIMIT + 40)
    expect(login(c, "good", "127.0.0.1:2111", timeout=REPLY_LIMIT), (b"+OK", b"+OK"))
    expect(ask(c, b"STAT", timeout=REPLY_LIMIT + 40),
           b"+OK 2 %d" % sum(len(m) for m in GOOD_MAILS))
    expect(ask(c, b"RETR 2"), b"+OK Message follows")
    expect(b"".join(line + b"\r\n" for line in multiline(c)), GOOD_MAILS[1])
    quit_and_relisten(proxy, c)


def quick_cases():
    """Name -> (case, the commands after the login with the reply each must get: a line or,
    for a multi-line reply, (status line, data lines))."""
    big = mail("big", "x" * 70 + "\r\n") * 2000
    odd = b"Subject: odd\r\n\r\nnul\x00byte\r\nbare\rcr\r\nbare lf\nend\r\n"
    stat_of = lambda mails: b"+OK %d %d" % (len(mails), sum(len(m) for m in mails))  # noqa
    broken = b"-ERR Error during download!"
    unreadable_stat = b"-ERR The POP3 server's STAT reply holds no valid count and size"
    cases = {
        "close-in-retr": (Case(replies={"RETR 2": [b"+OK\r\nSubject: cut\r\n\r\nhal", CLOSE]}),
                          [(b"STAT", broken)]),
        "close-in-list": (Case(replies={"LIST": [b"+OK\r\n1 10\r\n", CLOSE]}),
                          [(b"STAT", broken)]),
        "close-in-uidl": (Case(replies={"UIDL": [b"+OK\r\n1 a\r\n", CLOSE]}),
                          [(b"STAT", broken)]),
        "list-more": (Case(replies={"LIST": b"+OK\r\n1 5\r\n2 5\r\n3 5\r\n.\r\n"}),
                      [(b"STAT", stat_of(GOOD_MAILS))]),
        "list-fewer": (Case(replies={"LIST": b"+OK\r\n1 5\r\n.\r\n"}), [(b"STAT", broken)]),
        "list-duplicate": (Case(replies={"LIST": b"+OK\r\n1 5\r\n1 5\r\n.\r\n"}),
                           [(b"STAT", broken)]),
        "list-words": (Case(replies={"LIST": b"+OK\r\none 5\r\n2 five\r\n.\r\n"}),
                       [(b"STAT", broken)]),
        "list-negative": (Case(replies={"LIST": b"+OK\r\n-1 5\r\n1 -5\r\n2 5\r\n.\r\n"}),
                          [(b"STAT", broken)]),
        "list-huge": (Case(replies={"LIST": b"+OK\r\n1 99999999999999999999\r\n"
                                            b"99999999999999999999 5\r\n.\r\n"}),
                      [(b"STAT", broken)]),
        "stat-huge": (Case(replies={"STAT": b"+OK 99999999999999999999 5\r\n"}),
                      [(b"STAT", unreadable_stat)]),
        "stat-negative": (Case(replies={"STAT": b"+OK -3 5\r\n"}), [(b"STAT", unreadable_stat)]),
        "uidl-long": (Case(uids=["u" * 71, "ok-2"]),
                      [(b"STAT", stat_of(GOOD_MAILS)),
                       (b"UIDL", b"-ERR The server gave no unique id for message 1"),
                       (b"RETR 1", (b"+OK Message follows", GOOD_MAILS[0]))]),
        "uidl-garbage": (Case(replies={"UIDL": b"+OK\r\n1 has spaces in it\r\nzz\r\n"
                                               b"2 \x01\x02\r\n.\r\n"}),
                         [(b"STAT", stat_of(GOOD_MAILS)),
                          (b"UIDL", b"-ERR The server gave no unique id for message 1")]),
        "uidl-missing": (Case(replies={"UIDL": b"+OK\r\n2 two\r\n.\r\n"}),
                         [(b"STAT", stat_of(GOOD_MAILS)),
                          (b"UIDL", b"-ERR The server gave no unique id for message 1"),
                          (b"RETR 2", (b"+OK Message follows", GOOD_MAILS[1]))]),
        "uidl-twice": (Case(uids=["same", "same"]),
                       [(b"STAT", stat_of(GOOD_MAILS)),
                        (b"UIDL", b"-ERR The server gave messages 1 and 2 the same unique id"),
                        (b"UIDL 2", b"-ERR The server gave messages 1 and 2 the same unique id")]),
        "close-after-pass": (Case(replies={"PASS": [b"+OK\r\n", CLOSE]}),
                             [(b"STAT", Prefix(b"-ERR")), (b"LIST", Prefix(b"-ERR")),
                              (b"DELE 1", Prefix(b"-ERR"))]),
        "close-after-retr": (Case(replies={"RETR 2": [b"+OK\r\n" + stuffed(GOOD_MAILS[1]),
                                                      CLOSE]}),
                             [(b"STAT", stat_of(GOOD_MAILS)), (b"DELE 1", Prefix(b"-ERR")),
                              (b"RETR 2", (b"+OK Message follows", GOOD_MAILS[1]))]),
        "retr-more": (Case(mails=[big], replies={"LIST": b"+OK\r\n1 100\r\n.\r\n"}),
                      [(b"STAT", stat_of([big])),
                       (b"RETR 1", (b"+OK Message follows", big))]),
        "retr-odd": (Case(mails=[odd, b"no separator at all\r\n", b""]),
                     [(b"STAT", None),
                      (b"RETR 1", (b"+OK Message follows", odd)),
                      (b"RETR 2", (b"+OK Message follows", b"no separator at all\r\n")),
                      (b"RETR 3", (b"+OK Message follows", b""))]),
        "status-ok": (Case(replies={"STAT": b"OK 2 10\r\n"}),
                      [(b"STAT", b"-ERR OK 2 10")]),
        "status-lower": (Case(replies={"DELE": b"+ok\r\n"}),
                         [(b"STAT", stat_of(GOOD_MAILS)), (b"DELE 1", b"+OK")]),
        "status-okay": (Case(replies={"DELE": b"+OKAY\r\n"}),
                        [(b"STAT", stat_of(GOOD_MAILS)), (b"DELE 1", b"+OKAY")]),
        "status-odd": (Case(replies={"PASS": b"+Oand\r\n", "DELE": b"-no way\r\n"}),
                       [(b"login", (b"+OK", b"+OK Oand")), (b"STAT", stat_of(GOOD_MAILS)),
                        (b"DELE 1", b"-ERR no way")]),
        "status-empty": (Case(replies={"STAT": b"\r\n"}),
                         [(b"STAT", b"-ERR No reply from the POP3 server")]),
        "two-replies": (Case(replies={"STAT": b"+OK 2 %d\r\n+OK 7 7\r\n" %
                                      sum(len(m) for m in GOOD_MAILS)}),
                        [(b"STAT", stat_of(GOOD_MAILS)),
                         (b"LIST", (b"+OK Listing follows",
                                    b"1 %d\r\n2 %d\r\n" % tuple(map(len, GOOD_MAILS)))),
                         (b"DELE 1", b"+OK marked")]),
        "reply-early": (Case(replies={"PASS": b"+OK\r\n+OK 2 20\r\n"}),
                        [(b"STAT", stat_of(GOOD_MAILS))]),
        "user-ok": (Case(replies={"USER": b"OK\r\n"}),
                    [(b"login", (b"-ERR OK", None))]),
        "pass-empty": (Case(replies={"PASS": b"\r\n"}),
                       [(b"login", (b"+OK", b"-ERR No reply from the POP3 server"))]),
        "dele-stray": (Case(replies={"DELE": b"-ERR cannot delete\r\n+OK\r\n"}),
                       [(b"STAT", stat_of(GOOD_MAILS)), (b"DELE 1", b"-ERR cannot delete"),
                        (b"DELE 2", b"-ERR cannot delete")]),
        "retr-endless": (Case(replies={"LIST": b"+OK\r\n1 100\r\n2 100\r\n.\r\n",
                                       "RETR 1": [b"+OK\r\n"] + [(b"y" * 78 + b"\r\n") * 1000] * 150
                                       + [SILENT]}),
                         [(b"STAT", broken)]),
        "long-replies": (Case(replies={"USER": b"+OK " + b"u" * 9000 + b"\r\n",
                                       "DELE": b"-ERR " + b"d" * 5000 + b"\r\n"}),
                         [(b"login", (Prefix(b"+OK uuu"), b"+OK")),
                          (b"STAT", stat_of(GOOD_MAILS)),
                          (b"DELE 1", Prefix(b"-ERR ddd"))]),
        "dele-refused": (Case(replies={"DELE": b"-ERR cannot delete\r\n"}),
                         [(b"STAT", stat_of(GOOD_MAILS)), (b"DELE 1", b"-ERR cannot delete")]),
        "quit-refused": (Case(replies={"QUIT": [b"-ERR some deleted messages not removed\r\n",
                                                CLOSE]}),
                         [(b"STAT", stat_of(GOOD_MAILS)), (b"DELE 2", b"+OK marked")]),
    }
    return cases


class Prefix(bytes):
    """A reply line that begins with these bytes and, as every reply line, fits in 512 bytes
    with its CR LF (RFC 1939)."""

    def matches(self, line):
        return line is not None and line.startswith(self) and len(line) + 2 <= 512


def expect_reply(actual, wanted, what):
    if isinstance(wanted, Prefix):
        if not wanted.matches(actual):
            raise AssertionError("%s: expected a line of at most 510 bytes beginning with %r, "
                                 "got %d bytes: %r" % (what, bytes(wanted), len(actual or b""),
                                                       (actual or b"")[:80]))
    else:
        expect(actual, wanted, what)


def quick_session(proxy, name, commands):
    c = connect(proxy)
    try:
        quick_commands(proxy, c, name, commands)
    except Exception:
        # The next case needs the service: end this session as a mail program would.
        with harness.contextlib.suppress(Exception):
            c.send(b"QUIT\r\n")
            c.closed(timeout=20)
        c.close()
        raise


def quick_commands(proxy, c, name, commands):
    login_replies = commands[0][1] if commands and commands[0][0] == b"login" else \
        (b"+OK", b"+OK")
    replies = login(c, name)
    for got, wanted in zip(replies, login_replies):
        expect_reply(got, wanted, name + " login")
    if login_replies[1] is None or not login_replies[1].startswith(b"+OK"):
        quit_and_relisten(proxy, c)
        return
    for command, wanted in commands:
        if command == b"login":
            continue
        reply = ask(c, command)
        if wanted is None:
            # Any reply will do, as long as there is exactly one, then the next in step.
            if not (reply.startswith(b"+OK") or reply.startswith(b"-ERR")):
                raise AssertionError("%s %r: no status line: %r" % (name, command, reply))
            if command == b"LIST" and reply.startswith(b"+OK"):
                multiline(c)
            continue
        if isinstance(wanted, tuple):
            expect(reply, wanted[0], "%s %r" % (name, command))
            expect(b"".join(line + b"\r\n" for line in multiline(c)), wanted[1],
                   "%s %r" % (name, command))
        else:
            expect_reply(reply, wanted, "%s %r" % (name, command))
    # Nothing more comes than the replies counted above.
    expect(ask(c, b"NOOP"), b"+OK", name + " in step")
    quit_and_relisten(proxy, c)


# ---------------------------------------------------------------------------------------------


def start_proxy(s, index):
    root = os.path.join(s.root, "proxy-%d" % index)
    os.makedirs(root)
    # No upstream port from the environment: the server part of USER may name one.
    proxy = harness.Proxy(root, s.binary, listen_port=3110 + index,
                          env={"BRINDLECAP_UPSTREAM_PORT": ""})
    proxy.start()
    return proxy


def test_rude_servers(s):
    cases = {"good": Case()}
    silent = silence_cases()
    quick = quick_cases()
    for name, (case, _, _) in silent.items():
        cases[name] = case
    for name, (case, _) in quick.items():
        cases[name] = case
    servers = [RudeServer(110, cases), RudeServer(2111, cases, pace=0.05),
               RudeServer(2112, cases, greeting=SILENT)]
    proxies = []
    failures = []
    try:
        jobs = [("silent-greeting", silent_greeting_session), ("trickle", trickle_session)]
        jobs += [(name, lambda p, n=name, v=v: silent_session(p, n, v[1], v[2]))
                 for name, v in silent.items()]

        def quick_run(p):
            for name, (_, commands) in quick.items():
                try:
                    quick_session(p, name, commands)
                    check_proxy_output(p)
                except Exception as e:  # the next case still runs, on the same proxy
                    failures.append("%s: %s" % (name, e))
                    with harness.contextlib.suppress(Exception):
                        p.wait_until_listening(after=p.last_session, timeout=5)

        jobs.append(("quick cases", quick_run))

        def run(proxy, name, job):
            try:
                job(proxy)
                normal_session(proxy)
                check_proxy_output(proxy)
            except Exception as e:  # collected, reported together
                failures.append("%s: %s\n--- log ---\n%s" % (name, e, proxy.log()))

        threads = []
        for i, (name, job) in enumerate(jobs):
            proxies.append(start_proxy(s, i))
            threads.append(threading.Thread(target=run, args=(proxies[-1], name, job)))
        for t in threads:
            t.start()
        for t in threads:
            t.join(timeout=150)
        if any(t.is_alive() for t in threads):
            failures.append("a session did not end within 150 s")
        quick_log = proxies[-1].log()
        for line in ("Server refused QUIT: -ERR some deleted messages not removed",
                     "Mail 1 is far larger than its listed 100 Bytes - download stopped."):
            if line not in quick_log:
                failures.append("log line %r missing" % line)
        mailbox = cases["quit-refused"]
        if mailbox.commands[-1:] != ["QUIT"]:
            failures.append("quit-refused: the server saw %r" % mailbox.commands)
    finally:
        for p in proxies:
            try:
                p.stop()
            except Exception as e:
                failures.append(str(e))
        for server in servers:
            server.stop()
    if failures:
        raise AssertionError("\n\n".join(failures))


if __name__ == "__main__":
    harness.main(__file__, globals())
