#!/usr/bin/env python3
"""The ports as settings (ListenPort, UpstreamPort), the variables above them, and what the
log says when the service cannot listen."""

import os
import signal
import socket
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

USER, PASSWORD = "alice", "wonderland"
# An empty variable counts as unset, so the settings decide.
NO_VARIABLES = {"BRINDLECAP_LISTEN_PORT": "", "BRINDLECAP_UPSTREAM_PORT": ""}


def test_the_settings_move_both_ports(s):
    s.start_dovecot({USER: PASSWORD}, {USER: ["Subject: one\r\n\r\nbody\r\n"]}, port=1110)
    s.start_proxy(registry={"ListenPort": 1112, "UpstreamPort": 1110}, listen_port=1112,
                  env=NO_VARIABLES)
    client = s.connect()
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    assert client.pop.stat()[0] == 1
    assert client.pop.quit().startswith(b"+OK")


def test_the_variables_override_the_settings(s):
    s.start_proxy(registry={"ListenPort": 1112}, listen_port=1113,
                  env={"BRINDLECAP_LISTEN_PORT": "1113"})
    assert not harness.port_is_listening(1112)


def test_a_port_in_use_is_explained_and_reset_takes_a_new_setting(s):
    holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    holder.bind(("127.0.0.1", 1114))
    holder.listen(1)
    try:
        proxy = s.start_proxy(registry={"ListenPort": 1114}, listen_port=1114,
                              env=NO_VARIABLES, wait=False)
        failed = proxy.wait_for_log("***Error in Server!", timeout=15.0)
        # The explanation is a line of its own that may come a moment later.
        proxy.wait_for_log("***Cannot listen on port", timeout=15.0, after=failed)
        lines = proxy.log_lines()
        assert len(lines) > failed + 1, proxy.log()
        assert lines[failed + 1] == (
            "***Cannot listen on port 1114: Address already in use (error 10048). Another "
            "program listens there. Choose another port with \"brindlecap-config port listen "
            "1111\" (1024 to 65535), then press Reset or send SIGUSR1."), proxy.log()
        # The user follows the advice: a new setting, then Reset.
        proxy.set_registry({"ListenPort": 1115})
        proxy.listen_port = 1115
        mark = proxy.mark()
        proxy.proc.send_signal(signal.SIGUSR1)
        proxy.wait_until_listening(after=mark)
    finally:
        holder.close()


def test_a_port_from_the_variable_is_explained_with_the_variable(s):
    holder = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    holder.bind(("127.0.0.1", 1111))
    holder.listen(1)
    try:
        proxy = s.start_proxy(listen_port=1111, wait=False)
        failed = proxy.wait_for_log("***Error in Server!", timeout=15.0)
        # The explanation is a line of its own that may come a moment later.
        proxy.wait_for_log("***Cannot listen on port", timeout=15.0, after=failed)
        proxy.wait_for_log("***Cannot listen on port 1111", after=failed, timeout=5.0)
        assert proxy.log_lines()[failed + 1].endswith(
            "Choose another port in BRINDLECAP_LISTEN_PORT (e.g. 1112) and start the program "
            "again."), proxy.log()
    finally:
        holder.close()


if __name__ == "__main__":
    harness.main(__file__, globals())
