#!/usr/bin/env python3
"""A null-modem pair of pseudo-terminals for windows-test.sh: LINK_A and
LINK_B become symbolic links to two ptys whose bytes are passed across,
until the process is stopped. (corvane-sim's own pty has one end only.)"""
import os
import pty
import select
import signal
import sys
import tty


def main(link_a, link_b):
    ends = []
    for link in (link_a, link_b):
        master, slave = pty.openpty()
        tty.setraw(slave)
        os.set_blocking(master, False)
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(os.ttyname(slave), link)
        ends.append((master, slave, link))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    masters = [end[0] for end in ends]
    try:
        while True:
            ready, _, _ = select.select(masters, [], [])
            for fd in ready:
                try:
                    data = os.read(fd, 4096)
                except (BlockingIOError, OSError):
                    continue
                other = masters[1] if fd == masters[0] else masters[0]
                try:
                    os.write(other, data)
                except BlockingIOError:
                    pass  # nobody reads that end: the bytes are lost, as on a line
    finally:
        for _, _, link in ends:
            if os.path.islink(link):
                os.unlink(link)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
