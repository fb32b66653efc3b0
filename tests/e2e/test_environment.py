#!/usr/bin/env python3
"""The environment variables that move the service's ports, as a user may mistype them."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def start(s, listen, upstream="110"):
    proxy = harness.Proxy(s.root, s.binary, env={"BRINDLECAP_LISTEN_PORT": listen,
                                                 "BRINDLECAP_UPSTREAM_PORT": upstream})
    proxy.proc = subprocess.Popen([proxy.binary], cwd=proxy.folder, env=proxy.env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE)
    s.proxy = None  # torn down here, since its standard error is read apart
    return proxy


def finish(proxy):
    proxy.proc.terminate()
    out, err = proxy.proc.communicate(timeout=15)
    assert proxy.proc.returncode == 0, (out, err)
    assert b"Sanitizer" not in err and b"runtime error:" not in err, err
    return out.decode("latin-1"), err.decode("latin-1")


def test_a_port_that_is_no_number_is_named_and_the_default_used(s):
    proxy = start(s, "l111", upstream="99999")
    try:
        harness.wait_for_listening(111, timeout=15.0)
    finally:
        out, err = finish(proxy)
    assert ('brindlecap: BRINDLECAP_LISTEN_PORT="l111" is not a port number (0 to 65535); '
            "using 111") in err, err
    assert ('brindlecap: BRINDLECAP_UPSTREAM_PORT="99999" is not a port number (0 to 65535); '
            "using 110") in err, err
    # The log itself keeps its own lines only.
    assert out.splitlines() == ["My Server (re)started. Awaiting connection."], out


def test_valid_ports_give_no_warning(s):
    proxy = start(s, "1111", upstream="1110")
    try:
        harness.wait_for_listening(1111, timeout=15.0)
    finally:
        _, err = finish(proxy)
    assert err == "", err


if __name__ == "__main__":
    harness.main(__file__, globals())
