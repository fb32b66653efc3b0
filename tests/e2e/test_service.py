"""The headless program between poplib and Dovecot: greeting, login, refusals, QUIT and the
next connection."""

import os
import poplib
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

GREETING = b"+OK Welcome to vevazurod"
NOT_SUPPORTED = b'-ERR This POP3-Command is not supported by "Brindlecap"!'
USERS = {"alice": "s3cret-pw", "bob": "other"}


def expect(actual, wanted):
    if actual != wanted:
        raise AssertionError("expected %r, got %r" % (wanted, actual))


def expect_error(fn, wanted):
    try:
        fn()
    except poplib.error_proto as e:
        expect(e.args[0], wanted)
        return
    raise AssertionError("expected the reply %r, got a positive one" % wanted)


def refused(port):
    """Whether a connection attempt is refused (only for moments when nothing may listen: a
    successful attempt would become the proxy's session)."""
    try:
        socket.create_connection(("127.0.0.1", port), timeout=2).close()
        return False
    except OSError:
        return True


def test_greeting_comes_first(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect()
    expect(c.greeting, GREETING)
    s.proxy.wait_for_log("***Session available - connecting now.")


def test_login_quit_and_login_again(s):
    s.start_dovecot(USERS, {"alice": [harness.crlf("Subject: one\n\nfirst\n")]})
    s.start_proxy()
    for _ in range(2):
        c = s.connect()
        expect(c.user("127.0.0.1/alice"), b"+OK")
        expect(c.pass_(USERS["alice"]), b"+OK Logged in.")
        mark = s.proxy.mark()
        expect(c.pop.quit(), b"+OK Vevazurod quits")
        # QUIT makes the service listen again without anyone pressing Reset.
        s.proxy.wait_until_listening(after=mark)
    log = s.proxy.log()
    if USERS["alice"] in log:
        raise AssertionError("the password shows in the log")
    if "DISPLAY:>PASS " + "*" * len(USERS["alice"]) not in log:
        raise AssertionError("the masked PASS trace is missing")
    if "POP3 ; Password:" + "*" * len(USERS["alice"]) not in log:
        raise AssertionError("the masked password line is missing")


def test_backslash_separator_logs_in(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect()
    expect(c.user("127.0.0.1\\bob"), b"+OK")
    expect(c.pass_("other"), b"+OK Logged in.")
    expect(c.pop.quit(), b"+OK Vevazurod quits")


def test_wrong_password_gets_the_servers_reply(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect()
    expect(c.user("127.0.0.1/alice"), b"+OK")
    expect_error(lambda: c.pass_("wrong"), b"-ERR [AUTH] Authentication failed.")
    s.proxy.wait_for_log("Error during sending Passwort! (Abort?)")
    # The session goes on: a second try with the right password works.
    expect(c.user("127.0.0.1/alice"), b"+OK")
    expect(c.pass_(USERS["alice"]), b"+OK Logged in.")
    expect(c.pop.quit(), b"+OK Vevazurod quits")


def test_unknown_host_drops_the_connection_and_listens_again(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect()
    mark = s.proxy.mark()
    expect_error(lambda: c.user("nonexistent.invalid/alice"), b"-ERR Error during Connect!")
    s.proxy.wait_for_log('Error in "Connect to POP3"')
    # The failed connect ran the Reset action: the next mail program is served.
    s.proxy.wait_until_listening(after=mark)
    c2 = s.connect()
    expect(c2.greeting, GREETING)
    expect(c2.user("127.0.0.1/alice"), b"+OK")


def test_server_refusing_connections_is_a_connect_error(s):
    s.start_dovecot(USERS)
    s.start_proxy(upstream_port=1)  # nothing listens there
    c = s.connect()
    expect_error(lambda: c.user("127.0.0.1/alice"), b"-ERR Error during Connect!")


def test_refusals_before_any_upstream_session(s):
    s.start_proxy()
    c = s.connect()
    expect_error(lambda: c.user("alice"), b"-ERR Vevazurod not configured for this account!")
    expect_error(lambda: c.user("/alice"), b"-ERR Hostname can not be empty!")
    expect_error(lambda: c.user("127.0.0.1/"), b"-ERR Username can not be empty!")
    expect_error(lambda: c.command("user 127.0.0.1/alice"),
                 NOT_SUPPORTED)
    expect_error(lambda: c.command("STLS"),
                 NOT_SUPPORTED)
    # PASS before any USER: the client refuses, and the mail program still gets a reply.
    reply = None
    try:
        c.pass_("x")
    except poplib.error_proto as e:
        reply = e.args[0]
    if reply is None or not reply.startswith(b"-ERR"):
        raise AssertionError("PASS before USER got %r" % reply)
    expect(c.pop.quit(), b"+OK Vevazurod quits")


def test_second_mail_program_is_refused_while_a_session_runs(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect()
    expect(c.greeting, GREETING)
    if not refused(s.proxy.listen_port):
        raise AssertionError("a second connection was accepted during a session")
    expect(c.user("127.0.0.1/alice"), b"+OK")
    mark = s.proxy.mark()
    expect(c.pop.quit(), b"+OK Vevazurod quits")
    s.proxy.wait_until_listening(after=mark)
    expect(s.connect().greeting, GREETING)


def test_plain_disconnect_drops_the_server_session_and_listens_again(s):
    # Without a window nobody could press Reset: the service listens again by itself.
    s.start_dovecot(USERS, {"alice": [harness.crlf("Subject: one\n\nfirst\n")]})
    s.start_proxy()
    c = s.connect()
    expect(c.user("127.0.0.1/alice"), b"+OK")
    expect(c.pass_(USERS["alice"]), b"+OK Logged in.")
    expect(c.command("DELE 1"), b"+OK Marked to be deleted.")
    mark = s.proxy.mark()
    c.pop.close()  # no QUIT
    closed = s.proxy.wait_for_log("***WSocket - Session closed", after=mark)
    dropped = s.proxy.wait_for_log(
        "Mail program left without QUIT - server session dropped, listening again.", after=mark)
    s.proxy.wait_until_listening(after=dropped)
    if not closed < dropped:
        raise AssertionError("the drop was logged before the session ended")
    # The server session went without QUIT, so the deletion was not committed.
    expect(s.dovecot.mail_count("alice"), 1)
    expect(s.connect().greeting, GREETING)


def test_junk_and_binary_bytes_get_replies_and_the_session_goes_on(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect_raw()
    expect(c.line(), GREETING)
    c.send(b"\x00\xff\x01binary\r\n")
    expect(c.line(), NOT_SUPPORTED)
    c.send(b"X" * 65536 + b"\r\n")
    # However the junk was cut into pieces, the one overlong line gets one reply.
    expect(c.lines_until_quiet(), [NOT_SUPPORTED])
    c.send(b"USER 127.0.0.1/alice\r\n")
    expect(c.line(), b"+OK")
    c.send(b"PASS " + USERS["alice"].encode() + b"\r\n")
    expect(c.line(), b"+OK Logged in.")
    c.send(b"QUIT\r\n")
    expect(c.line(), b"+OK Vevazurod quits")
    if not c.closed():
        raise AssertionError("the connection stayed open after QUIT")


def test_command_split_in_two_pieces(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect_raw()
    expect(c.line(), GREETING)
    # The pieces make one line, and nothing is answered before its line end.
    c.send(b"QU")
    time.sleep(0.5)
    c.send(b"IT")
    expect(c.line(timeout=0.5), None)
    c.send(b"\r\n")
    expect(c.line(), b"+OK Vevazurod quits")


def test_sigterm_ends_the_program_during_a_session(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    c = s.connect()
    expect(c.user("127.0.0.1/alice"), b"+OK")
    rc = s.proxy.stop()
    if rc not in (0, None):
        raise AssertionError("exit code %r after SIGTERM" % rc)


if __name__ == "__main__":
    harness.main(__file__, globals())
