#!/usr/bin/env python3
"""Without a window there is no Reset button: SIGUSR1 presses it, for instance to take a new
ListenPort."""

import os
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USERS = {"alice": "s3cret-pw"}
GREETING = b"+OK Welcome to vevazurod"


def test_sigusr1_after_a_plain_disconnect_restarts_the_listening_service(s):
    # Headless, the service listens again by itself after a plain disconnect; SIGUSR1 then
    # restarts it once more, as pressing Reset would, and it still serves.
    s.start_dovecot(USERS, {"alice": [harness.crlf("Subject: hi\n\nhello\n")]})
    s.start_proxy()
    c = s.connect()
    assert c.user("127.0.0.1/alice").startswith(b"+OK")
    c.close()  # no QUIT
    dropped = s.proxy.wait_for_log("Mail program left without QUIT")
    s.proxy.wait_until_listening(after=dropped)
    mark = s.proxy.mark()
    s.proxy.proc.send_signal(signal.SIGUSR1)
    s.proxy.wait_until_listening(after=mark)
    c = s.connect()
    assert c.greeting == GREETING
    assert c.login("127.0.0.1", "alice", USERS["alice"]).startswith(b"+OK")
    assert c.pop.stat()[0] == 1
    assert c.pop.quit().startswith(b"+OK")
    assert s.proxy.running()


def test_sigusr1_during_a_session_leaves_the_session_alone(s):
    # Reset is disabled while a mail program is connected; the signal respects that.
    s.start_dovecot(USERS, {"alice": [harness.crlf("Subject: hi\n\nhello\n")]})
    s.start_proxy()
    c = s.connect()
    assert c.login("127.0.0.1", "alice", USERS["alice"]).startswith(b"+OK")
    mark = s.proxy.mark()
    s.proxy.proc.send_signal(signal.SIGUSR1)
    time.sleep(0.5)
    assert s.proxy.running()
    assert "My Server (re)started." not in "\n".join(s.proxy.log_lines()[mark:])
    assert c.pop.stat()[0] == 1
    assert c.pop.quit().startswith(b"+OK")


def test_sigusr1_while_listening_restarts_the_service(s):
    s.start_dovecot(USERS)
    s.start_proxy()
    mark = s.proxy.mark()
    s.proxy.proc.send_signal(signal.SIGUSR1)
    s.proxy.wait_until_listening(after=mark)
    assert s.proxy.log_lines()[mark:].count("***WSocket - Session closed") == 1
    assert s.connect().greeting == GREETING


if __name__ == "__main__":
    harness.main(__file__, globals())
