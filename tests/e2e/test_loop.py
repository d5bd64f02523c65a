import fcntl
import os
import signal
import struct
import subprocess
import termios
import time
from typing import NamedTuple

import pytest
from conftest import DAY, HERE, NIGHT, SUNSET, load_in, restores, until

class Stop(NamedTuple):
    shows: tuple = (6500, 6500)   # the temperature range of the load just before the stop
    hold: int = 0                 # or: no load for 1.2 s after a load at or below this
    at: str = DAY
    speed: int = 1
    feed: bytes = b""             # written to standard input
    endless: bool = False         # standard input: "k" lines without end
    output: str = "discarded"     # or "full": 4 KiB pipe nobody reads; "gone": no reader
    sig: int = signal.SIGTERM


FADING = (3500, 6400)
QUERIES = b"k\n" * 400   # 6 KB of replies


def queued(fd):
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0" * 4))[0]


# Each stop just after a load: a restore left to the loop's next pass comes 0.5 s late.
@pytest.mark.parametrize("row", [
    pytest.param(Stop(feed=b"k=27", sig=signal.SIGINT), id="SIGINT while a partial line waits"),
    pytest.param(Stop(shows=FADING, at=NIGHT), id="the 20 s fade"),
    pytest.param(Stop(hold=3400, feed=b"p\n"), id="the preview's 2 s hold"),
    pytest.param(Stop(output="full", feed=QUERIES), id="replies that fill a pipe"),
    pytest.param(Stop(output="gone", feed=QUERIES), id="replies to a reader that went away"),
    pytest.param(Stop(shows=(3400, 3400), at=SUNSET, speed=10, endless=True),
                 id="endless input: night still falls"),
])
def test_stop_restores_at_once(scene, x, row):
    r, w = os.pipe()
    fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
    stdin = subprocess.PIPE
    if row.endless:
        stdin = scene.run(None, "k", program="yes").stdout
    output = subprocess.DEVNULL if row.output == "discarded" else w
    p = scene.run(x, *HERE, "-nofork", at=row.at, speed=row.speed, stdin=stdin, stdout=output)
    os.close(w)
    if row.output == "gone":
        os.close(r)
    if not row.endless:
        p.stdin.write(row.feed)
        p.stdin.flush()
    if row.output == "full":   # not another reply fits
        until(lambda: queued(r) > 4096 - len("Colortemp=3400\n"), 5)
    if row.hold:
        load_in(x, 0, row.hold)
        time.sleep(0.3)   # past the fade's last steps
        x.poison()
        time.sleep(1.2)
        assert x.kelvins(1) == [None]
    restores(p, x, time.monotonic() if row.hold else load_in(x, *row.shows), row.sig)


# Descriptor 0 closed is filled with /dev/null (no faketime: it would take it).
def test_closed_input_cuts_no_fade_and_a_lost_server_ends_it(scene, x):
    midnight = (180 - time.time() / 3600 % 24 * 15) % 360 - 180   # the longitude of local midnight
    p = scene.run(x, "-l", "0", "-g", f"{midnight:.2f}", "-nofork", preexec_fn=lambda: os.close(0))
    load_in(x, 3500, 6400, 5)
    assert os.readlink(f"/proc/{p.pid}/fd/0") == "/dev/null"
    time.sleep(1)
    load_in(x, 3500, 6300, 1)   # still fading: the end of input cut nothing short
    x.process.kill()
    until(lambda: p.poll() is not None, 2)
    assert p.returncode == 1 and x.display in p.stderr.read().decode()
