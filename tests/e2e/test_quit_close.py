"""What a mail program gets at QUIT when it has sent more after it: the whole goodbye and an
orderly end of the connection, never a reset, in the first session and in later ones."""

import os
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

GREETING = b"+OK Welcome to vevazurod"
USERS = {"alice": "s3cret-pw"}


def expect(actual, wanted):
    if actual != wanted:
        raise AssertionError("expected %r, got %r" % (wanted, actual))


def end_of_connection(client, timeout=10.0):
    """b"" for an orderly end; raises when the proxy resets the connection instead."""
    client.sock.settimeout(timeout)
    try:
        return client.sock.recv(65536)
    except ConnectionResetError:
        raise AssertionError("the proxy reset the connection after QUIT")


def test_bytes_after_quit_still_get_the_goodbye_and_an_orderly_end(s):
    s.start_dovecot(USERS, {"alice": [harness.crlf("Subject: one\n\nfirst\n")]})
    s.start_proxy()
    # Lingering settings that a close leaves behind would hit only the later sessions.
    for session in range(3):
        c = s.connect_raw()
        expect(c.line(), GREETING)
        if session != 1:
            c.send(b"USER 127.0.0.1/alice\r\n")
            expect(c.line(), b"+OK")
            c.send(b"PASS s3cret-pw\r\n")
            expect(c.line(), b"+OK Logged in.")
        mark = s.proxy.mark()
        # QUIT and more in one write: the rest is in the proxy's receive buffer at the close.
        c.send(b"QUIT\r\nNOOP\r\nSTAT\r\n" + b"x" * 60000 + b"\r\n")
        expect(c.line(), b"+OK Vevazurod quits")
        # Still more after the goodbye arrived: nothing answers it, and nothing refuses it.
        time.sleep(0.2)
        c.send(b"LIST\r\n")
        time.sleep(0.1)
        c.send(b"RETR 1\r\n")
        expect(c.buffer, b"")
        expect(end_of_connection(c), b"")
        c.close()
        s.proxy.wait_until_listening(after=mark)
    # The mailbox is as it was: nothing sent after QUIT reached the server.
    expect(s.dovecot.mail_count("alice"), 1)


if __name__ == "__main__":
    harness.main(__file__, globals())
