#!/usr/bin/env python3
"""The upstream session over TLS: implicit TLS on 995 and STLS on 110 against a Dovecot with a
test authority's certificate, the refusals (each a failed connect after which nothing reaches
the server), the extra trust file, the port in the user name and a 50 MiB mail."""

import hashlib
import os
import poplib
import shutil
import socket
import ssl
import subprocess
import threading

import harness
import tls_world

USER = "alice"
PASSWORD = "secret"
FAILED_CONNECT = b"-ERR Error during Connect!"


def mails():
    return [
        "From: a@example.org\r\nSubject: one\r\n\r\nfirst mail\r\n",
        "From: b@example.org\r\nSubject: two\r\n\r\n.leading dot\r\n..two dots\r\nend\r\n",
        b"From: c@example.org\r\nSubject: three\r\n\r\n" + bytes(range(32, 256)) + b"\r\n",
    ]


def world(s, cert_key=None, ca=None, mailbox=None):
    """A Dovecot with the test authority's certificate (or `cert_key`), returns the
    authority's certificate path."""
    if ca is None:
        ca = tls_world.Authority(s.root, "ca")
    cert, key = cert_key or ca.issue("server")
    tls_world.start_tls_dovecot(s, cert, key, {USER: mailbox if mailbox is not None else mails()},
                                {USER: PASSWORD})
    return ca


def direct_ssl_view(s, ca_cert):
    ctx = ssl.create_default_context(cafile=ca_cert)
    pop = poplib.POP3_SSL("127.0.0.1", 995, context=ctx, timeout=60)
    pop.user(USER)
    pop.pass_(PASSWORD)
    count, _ = pop.stat()
    view = [b"\r\n".join(pop.retr(i)[1]) for i in range(1, count + 1)]
    pop.quit()
    return view


def fetch_through_proxy(s, user_arg):
    client = s.connect(timeout=120)
    client.user(user_arg)
    assert client.pass_(PASSWORD).startswith(b"+OK")
    count, _ = client.pop.stat()
    got = [b"\r\n".join(client.pop.retr(i)[1]) for i in range(1, count + 1)]
    return client, got


def login_lines(s):
    return [l for l in s.dovecot.log().splitlines() if "Login: user=<%s>" % USER in l]


def check_fetch_dele_quit(s, user_arg, ca_cert):
    expected = direct_ssl_view(s, ca_cert)
    client, got = fetch_through_proxy(s, user_arg)
    assert got == expected
    assert client.pop.dele(1).startswith(b"+OK")
    assert client.pop.quit().startswith(b"+OK")
    harness.wait_for_listening(s.proxy.listen_port)
    assert s.dovecot.mail_count(USER) == len(expected) - 1
    # Both logins (direct and through the proxy) ran encrypted.
    logins = login_lines(s)
    assert len(logins) == 2 and all("TLS" in l for l in logins), logins


def test_implicit_tls_on_995_fetches_byte_for_byte_and_deletes(s):
    ca = world(s)
    s.start_proxy(env=tls_world.trust_env(s, ca.cert))
    check_fetch_dele_quit(s, "localhost:995/" + USER, ca.cert)
    assert any("POP3 ; TLS: from the first byte, port 995" in l for l in s.proxy.log_lines())


def test_stls_on_110_fetches_byte_for_byte_and_deletes(s):
    ca = world(s)
    s.start_proxy(registry={"UpstreamSecurity": 1}, env=tls_world.trust_env(s, ca.cert))
    check_fetch_dele_quit(s, "localhost/" + USER, ca.cert)
    log = s.proxy.log()
    assert "DISPLAY:> STLS" in log, log
    # The greeting came before STLS, the login only after the handshake.
    assert log.index("DISPLAY:> STLS") < log.index("DISPLAY:> USER")


def test_implicit_tls_setting_by_address_and_curl(s):
    ca = world(s)
    s.start_proxy(registry={"UpstreamSecurity": 2}, upstream_port=995,
                  env=tls_world.trust_env(s, ca.cert))
    expected = direct_ssl_view(s, ca.cert)
    out = subprocess.run(
        ["curl", "-s", "--max-time", "60", "--user", "127.0.0.1/%s:%s" % (USER, PASSWORD),
         "pop3://127.0.0.1:%d/2" % s.proxy.listen_port], capture_output=True, timeout=90)
    assert out.returncode == 0, out
    assert out.stdout == expected[1] + b"\r\n", out.stdout


def test_a_50_mib_mail_arrives_whole_over_tls(s):
    line = b"L" * 98 + b"\r\n"
    large = b"Subject: large\r\n\r\n" + line * (50 * 1024 * 1024 // len(line))
    ca = world(s, mailbox=[large])
    s.start_proxy(env=tls_world.trust_env(s, ca.cert))
    client, got = fetch_through_proxy(s, "localhost:995/" + USER)
    assert len(got) == 1
    assert hashlib.sha256(got[0] + b"\r\n").digest() == hashlib.sha256(large).digest()
    client.pop.quit()


# --- refusals ----------------------------------------------------------------------------------


def assert_refused(s, user_arg, reason):
    mark = s.proxy.mark()
    client = s.connect_raw()
    assert client.line().startswith(b"+OK")
    client.send(b"USER " + user_arg.encode() + b"\r\n")
    assert client.line() == FAILED_CONNECT
    assert client.closed()
    s.proxy.wait_for_log(reason, after=mark)
    s.proxy.wait_for_log("Error in \"Connect to POP3\"", after=mark)
    s.proxy.wait_until_listening(after=mark)
    lines = s.proxy.log_lines()[mark:]
    assert lines.count(reason) == 1, lines
    # Nothing after the failure: the server never saw a user name or a password.
    if s.dovecot is not None:
        log = s.dovecot.log()
        assert "user=<%s>" % USER not in log, log
        assert not login_lines(s)
    assert not any("DISPLAY:> USER" in l or "DISPLAY:> PASS" in l for l in lines), lines


def test_refused_for_another_name(s):
    ca = tls_world.Authority(s.root, "ca")
    world(s, cert_key=ca.issue("other", dns=("pop.example.org",), ips=()), ca=ca)
    s.start_proxy(env=tls_world.trust_env(s, ca.cert))
    assert_refused(s, "localhost:995/" + USER, "TLS: host name does not match the certificate")


def test_refused_for_an_untrusted_authority(s):
    stranger = tls_world.Authority(s.root, "stranger")
    trusted = tls_world.Authority(s.root, "trusted")
    world(s, cert_key=stranger.issue("server"), ca=stranger)
    s.start_proxy(env=tls_world.trust_env(s, trusted.cert))
    assert_refused(s, "localhost:995/" + USER,
                   "TLS: the certificate is not signed by a trusted authority")


def test_refused_for_an_expired_certificate(s):
    ca = tls_world.Authority(s.root, "ca")
    world(s, cert_key=ca.issue("old", start="20200101000000Z", end="20200201000000Z"), ca=ca)
    s.start_proxy(env=tls_world.trust_env(s, ca.cert))
    assert_refused(s, "localhost:995/" + USER, "TLS: certificate has expired")


def test_refused_when_a_plain_server_listens_on_995(s):
    s.start_dovecot({USER: PASSWORD}, {USER: mails()}, port=995)
    ca = tls_world.Authority(s.root, "ca")
    s.start_proxy(env=tls_world.trust_env(s, ca.cert))
    assert_refused(s, "localhost:995/" + USER, "TLS: the server does not answer in TLS")


def test_refused_when_stls_is_required_but_not_offered(s):
    s.start_dovecot({USER: PASSWORD}, {USER: mails()})  # ssl = no
    s.start_proxy(registry={"UpstreamSecurity": 1})
    assert_refused(s, "localhost/" + USER, "TLS: the server does not offer STLS")
    assert "DISPLAY:> STLS" in s.proxy.log()


def test_refused_when_the_server_answers_stls_negatively(s):
    # A small server that greets and refuses STLS, recording every command it gets.
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 110))
    listener.listen(1)
    received = []

    def serve():
        conn, _ = listener.accept()
        with conn:
            conn.sendall(b"+OK fake server ready\r\n")
            data = b""
            conn.settimeout(10)
            try:
                while True:
                    chunk = conn.recv(4096)
                    if not chunk:
                        break
                    data += chunk
                    if data.endswith(b"STLS\r\n"):
                        conn.sendall(b"-ERR not now\r\n")
            except OSError:
                pass
            received.append(data)

    server = threading.Thread(target=serve, daemon=True)
    server.start()
    try:
        s.start_proxy(registry={"UpstreamSecurity": 1})
        assert_refused(s, "127.0.0.1/" + USER, "TLS: the server does not offer STLS")
        server.join(timeout=15)
        assert received == [b"STLS\r\n"], received
    finally:
        listener.close()


def test_the_extra_trust_file_lets_a_self_signed_server_in(s):
    cert, key = tls_world.self_signed(s.root)
    world(s, cert_key=(cert, key))
    authority_elsewhere = tls_world.Authority(s.root, "unrelated")
    s.start_proxy(registry={"UpstreamCAFile": cert},
                  env=tls_world.trust_env(s, authority_elsewhere.cert))
    client, got = fetch_through_proxy(s, "localhost:995/" + USER)
    assert len(got) == 3
    client.pop.quit()


def test_a_self_signed_server_is_refused_without_the_extra_trust_file(s):
    cert, key = tls_world.self_signed(s.root)
    world(s, cert_key=(cert, key))
    authority_elsewhere = tls_world.Authority(s.root, "unrelated")
    s.start_proxy(env=tls_world.trust_env(s, authority_elsewhere.cert))
    assert_refused(s, "localhost:995/" + USER,
                   "TLS: the certificate is self-signed and not trusted")


def test_a_bad_port_in_the_user_name_is_a_failed_connect_that_names_it(s):
    s.start_proxy()
    assert_refused(s, "localhost:99999/" + USER,
                   "POP3 ; Invalid port \"99999\" in \"localhost:99999\": a port is a number "
                   "from 1 to 65535")


if __name__ == "__main__":
    if shutil.which("openssl") is None:
        print("SKIPPED: the openssl command is not installed")
        raise SystemExit(harness.SKIP)
    harness.main(__file__, globals())
