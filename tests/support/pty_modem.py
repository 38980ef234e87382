#!/usr/bin/env python3
"""A phone modem on a pseudo-terminal, for the cable detector's tests.

pty_modem.py <link> <reply-file> [<lifetime s>]

Links <link> (a prefix's dosdevices/comN) to a new pseudo-terminal and
answers each "ATI3\\r" it receives with the bytes of <reply-file>, read
afresh for each request (no answer while the file is missing); each request
adds a line to <reply-file>.log. Ends on
SIGTERM, or by itself after its lifetime (default 600 s), and removes the
link.
"""
import os
import select
import signal
import sys
import time
import tty


def main():
    link, reply_file = sys.argv[1], sys.argv[2]
    lifetime = float(sys.argv[3]) if len(sys.argv) > 3 else 600.0
    master, slave = os.openpty()
    tty.setraw(slave)
    # The slave stays open here too: the master would read EIO between the
    # openings by Wine otherwise.
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        end = time.monotonic() + lifetime
        pending = b""
        while time.monotonic() < end:
            ready, _, _ = select.select([master], [], [], 0.2)
            if not ready:
                continue
            try:
                pending += os.read(master, 256)
            except OSError:
                continue
            if b"ATI3\r" not in pending:
                pending = pending[-8:]
                continue
            pending = b""
            with open(reply_file + ".log", "a") as log:
                log.write("ATI3\n")
            try:
                with open(reply_file, "rb") as f:
                    os.write(master, f.read())
            except FileNotFoundError:
                pass
    finally:
        if os.path.islink(link):
            os.unlink(link)


if __name__ == "__main__":
    main()
