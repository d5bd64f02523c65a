import fcntl
import os
import signal
import subprocess
import time

import pytest
from conftest import DAY, DAY_K, K3300, NIGHT, NIGHT_K, stop, until

HERE, NY = ("-l", "0", "-g", "0", "-nofork"), ("-z", "10001", "-nofork")
NY_NOON, SUNSET = "2026-01-01 17:00:00", "2026-01-01 18:06:58"


# Each stop comes just after a load: a restore left to the loop's next pass would come 0.5 s late.
@pytest.mark.parametrize("args, at, feed, out, phase, hold_s, sig", [
    (HERE, DAY, b"", None, DAY_K, 0, signal.SIGTERM),                     # the loop's pause
    (HERE, DAY, b"", None, DAY_K, 0, signal.SIGINT),
    (HERE, DAY, b"k=27", None, DAY_K, 0, signal.SIGTERM),                 # a partial line waits
    (HERE, NIGHT, b"", None, 0xFFF6F8, 0, signal.SIGTERM),                # the 20 s fade, at 6300 K
    (HERE, DAY, b"p\n", None, 0xFFE4CE, 0, signal.SIGTERM),               # the preview's way there, at 5000 K
    (HERE, DAY, b"p\n", None, K3300, 0.5, signal.SIGTERM),                # its hold
    (HERE, DAY, b"p\n", None, K3300, 2.5, signal.SIGTERM),                # its way back
    (NY, NY_NOON, b"z=10001\n" * 150, "full", DAY_K, 0, signal.SIGTERM),  # 46-byte replies that fill the pipe...
    (NY, NY_NOON, b"z=10001\n" * 150, "gone", DAY_K, 0, signal.SIGTERM),  # ...or meet a reader that went away
    (HERE, SUNSET, "yes", None, NIGHT_K, 0, signal.SIGTERM),              # endless input: night still falls
])
def test_stop_restores_at_once(scene, args, at, feed, out, phase, hold_s, sig):
    x = scene.server("256")
    r, w = os.pipe()
    fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
    if feed == "yes":
        scene.programs.append(subprocess.Popen(["yes", "k"], stdout=subprocess.PIPE))
    stdin = scene.programs[-1].stdout if feed == "yes" else subprocess.PIPE
    p = scene.run(x, *args, at=at, stdin=stdin, stdout=w if out else subprocess.DEVNULL)
    os.close(w)
    if out == "gone":
        os.close(r)
    if feed != "yes":
        p.stdin.write(feed)
        p.stdin.flush()
    time.sleep(1.6 if out else 0)   # three passes of the loop: the pipe is full
    x.poison()
    until(lambda: x.crtcs()[0] == phase, 8)
    time.sleep(hold_s)
    x.poison()
    stop(p, x, sig)


def test_closed_input_costs_nothing_and_a_lost_server_ends_it(scene):
    x = scene.server("256")
    # By day (noon at this longitude now) without the fake clock, whose library would take descriptor 0.
    noon = ((12 - time.time() / 3600 % 24) * 15 + 180) % 360 - 180
    p = scene.run(x, "-l", "0", "-g", f"{noon:.2f}", "-nofork", preexec_fn=lambda: os.close(0))
    until(lambda: x.crtcs()[0] == DAY_K, 3)
    assert os.readlink(f"/proc/{p.pid}/fd/0") == "/dev/null"
    cpu_ns = int(open(f"/proc/{p.pid}/schedstat").read().split()[0])
    x.poison()
    until(lambda: x.crtcs()[0] == DAY_K, 0.7)   # the loop goes on
    time.sleep(1)
    assert int(open(f"/proc/{p.pid}/schedstat").read().split()[0]) - cpu_ns < 0.01 * 2e9   # 1 % of a core
    os.kill(x.pid, signal.SIGKILL)
    until(lambda: p.poll() is not None, 2)
    assert p.returncode == 1 and x.display in p.stderr.read().decode()
