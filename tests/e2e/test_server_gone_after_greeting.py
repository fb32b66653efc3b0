#!/usr/bin/env python3
"""A server that closes right after its greeting: the mail program's USER is answered, its
QUIT makes the service listen again, and the next session on the same proxy works with a
real Dovecot."""

import os
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
GREETING = b"+OK Welcome to vevazurod"


def expect(actual, wanted):
    if actual != wanted:
        raise AssertionError("expected %r, got %r" % (wanted, actual))


class GreetAndClose:
    """Listens on the POP3 port, greets each connection and closes it at once."""

    def __init__(self, port=110):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(4)
        self.sock.settimeout(0.2)
        self.connections = 0
        self.stopping = False
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while not self.stopping:
            try:
                conn, _ = self.sock.accept()
            except (socket.timeout, TimeoutError):
                continue
            except OSError:
                return
            self.connections += 1
            conn.sendall(b"+OK scripted server ready\r\n")
            conn.close()

    def stop(self):
        self.stopping = True
        self.thread.join(timeout=5)
        self.sock.close()


def gone_session(s, quit_at_once):
    """USER against the server that is gone after its greeting, then QUIT: sent after USER's
    reply, or at once behind USER, as a mail program that gives up early does."""
    c = s.connect_raw()
    expect(c.line(), GREETING)
    user = b"USER 127.0.0.1/" + USER.encode() + b"\r\n"
    c.send(user + b"QUIT\r\n" if quit_at_once else user)
    reply = c.line(timeout=20)
    if reply is None or not reply.startswith(b"-ERR"):
        raise AssertionError("USER got %r; log:\n%s" % (reply, s.proxy.log()))
    # A failed connect has already dropped the mail program; otherwise QUIT says goodbye.
    try:
        if not quit_at_once:
            c.send(b"QUIT\r\n")
        line = c.line(timeout=10)
    except OSError:
        line = None
    if line not in (b"+OK Vevazurod quits", None):
        raise AssertionError("QUIT got %r" % line)
    if not c.closed():
        raise AssertionError("the connection stayed open after QUIT")


def test_user_is_answered_and_the_next_session_works(s):
    server = GreetAndClose()
    s.start_proxy()
    try:
        for quit_at_once in (False, True):
            mark = s.proxy.mark()
            gone_session(s, quit_at_once)
            s.proxy.wait_until_listening(after=mark)
            # Nothing of the ended session closes the listening socket afterwards.
            time.sleep(1.0)
            if "***Error in Server!" in s.proxy.log_lines()[mark:]:
                raise AssertionError("error after QUIT; log:\n%s" % s.proxy.log())
            if not harness.port_is_listening(s.proxy.listen_port):
                raise AssertionError("nothing listens after QUIT; log:\n%s" % s.proxy.log())
        if server.connections != 2:
            raise AssertionError("the server saw %d connections" % server.connections)
    finally:
        server.stop()

    # The same proxy serves a normal session against a real server.
    s.start_dovecot({USER: PASSWORD}, {USER: [harness.crlf("Subject: hi\n\nhello\n")]})
    c2 = s.connect()
    expect(c2.greeting, GREETING)
    expect(c2.user("127.0.0.1/" + USER), b"+OK")
    expect(c2.pass_(PASSWORD), b"+OK Logged in.")
    count, _ = c2.pop.stat()
    expect(count, 1)
    expect(c2.pop.quit(), b"+OK Vevazurod quits")


if __name__ == "__main__":
    harness.main(__file__, globals())
