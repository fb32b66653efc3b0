#!/usr/bin/env python3
"""Lines as long as the proxy's reply buffer, or longer, through the whole program: the line
end of such a line may fall between two reads of the buffer, and the line after it must still
be seen whole (a closing dot ends the mail, a stuffed dot loses its extra dot)."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import poplib  # noqa: E402

# poplib refuses lines over 2048 bytes unless told otherwise.
poplib._MAXLINE = 1 << 16

USER, PASSWORD = "alice", "wonderland"
# 4093 bytes is the longest piece the proxy's buffer holds: one byte short of, exactly at and
# just past one, two and three pieces.
LENGTHS = [4090, 4091, 4092, 4093, 4094, 8185, 8186, 12279]


def long_line(length, seed):
    return bytes(b"abcdefghijklmnopqrstuvw"[(i + seed) % 23] for i in range(length))


def mail(length):
    head = ("From: Mallory <mallory@example.net>\r\n"
            "To: Alice <alice@example.org>\r\n"
            "Subject: %d bytes a line\r\n"
            "\r\n" % length).encode()
    # Each long line is followed by a line that begins with a dot (stuffed on the way), one of
    # them a lone dot, which is mail text and not the end; the mail ends on a long line.
    body = b"".join(long_line(length, n) + b"\r\n" + after + b"\r\n"
                    for n, after in enumerate([b".", b".after", b"..two dots"]))
    return head + body + long_line(length, 7) + b"\r\n"


def test_lines_at_the_edge_of_the_buffer_keep_the_mails_intact(s):
    originals = [mail(n) for n in LENGTHS]
    s.start_dovecot({USER: PASSWORD}, {USER: originals})
    s.start_proxy()
    client = s.connect(timeout=90.0)
    assert client.login("127.0.0.1", USER, PASSWORD).startswith(b"+OK")
    started = time.monotonic()
    count, _ = client.pop.stat()
    print("STAT of %d mails took %.2f s" % (count, time.monotonic() - started))
    assert count == len(originals), count
    for number, original in enumerate(originals, 1):
        lines = client.pop.retr(number)[1]
        served = b"".join(line + b"\r\n" for line in lines)
        assert served == original, (LENGTHS[number - 1], served[-200:], original[-200:])
    assert client.pop.quit().startswith(b"+OK")
    assert "TimeOut" not in s.proxy.log(), s.proxy.log()


if __name__ == "__main__":
    harness.main(__file__, globals())
