import fcntl
import os
import re
import signal
import subprocess
import time

import pytest
from conftest import DAY, DAY_K, K3300, NIGHT, NIGHT_K, PROGRAM, start_text, stop, until

HERE = ("-l", "0", "-g", "0", "-nofork")


def reloads(x, colour):
    for _ in range(2):
        x.poison()
        until(lambda: x.crtcs()[0] == colour, 0.7)


# Each stop comes just after a load: a restore left to the loop's next pass would come 0.5 s late.
@pytest.mark.parametrize("at, typed, phase, wait_s, sig", [
    (DAY, b"", DAY_K, 0, signal.SIGTERM),            # the loop's pause
    (DAY, b"", DAY_K, 0, signal.SIGINT),
    (DAY, b"k=27", DAY_K, 0, signal.SIGTERM),        # a partial line waits
    (NIGHT, b"", 0xFFF6F8, 0, signal.SIGTERM),       # the 20 s fade, at 6300 K
    (DAY, b"p\n", K3300, 0.5, signal.SIGTERM),       # the preview's hold
])
def test_stop_restores_at_once(scene, at, typed, phase, wait_s, sig):
    x = scene.server("256")
    x.poison()
    p = scene.run(x, *HERE, at=at, stdin=subprocess.PIPE)
    p.stdin.write(typed)
    p.stdin.flush()
    until(lambda: x.crtcs()[0] == phase, 8)
    time.sleep(wait_s)
    x.poison()
    stop(p, x, sig)


def test_background(scene, tmp_path):
    x = scene.server("256")
    out = tmp_path / "out"
    assert scene.run(x, "-l", "0", "-g", "0", at=NIGHT, speed=10, stdout=out.open("w")).wait(5) == 0
    child = re.fullmatch(re.escape(start_text(night=True)) + r"Going to background: 'kill (\d+)' to turn off.\n\n",
                         out.read_text())[1]
    assert os.readlink(f"/proc/{child}/exe") == os.path.realpath(PROGRAM)
    until(lambda: x.crtcs() == [NIGHT_K] * 16, 10)
    os.kill(int(child), signal.SIGTERM)
    until(lambda: x.crtcs() == [DAY_K] * 16, 0.2)
    until(lambda: not os.path.exists(f"/proc/{child}/exe"), 5)
    assert out.read_text().count("Going") == 1


def test_closed_input_costs_nothing_and_a_lost_server_ends_it(scene):
    x = scene.server("256")
    # By day (noon at this longitude now) without the fake clock, whose library would take descriptor 0.
    noon = ((12 - time.time() / 3600 % 24) * 15 + 180) % 360 - 180
    p = scene.run(x, "-l", "0", "-g", f"{noon:.2f}", "-nofork", preexec_fn=lambda: os.close(0))
    until(lambda: x.crtcs()[0] == DAY_K, 3)
    assert os.readlink(f"/proc/{p.pid}/fd/0") == "/dev/null"
    cpu_ns = int(open(f"/proc/{p.pid}/schedstat").read().split()[0])
    reloads(x, DAY_K)
    time.sleep(1)
    assert int(open(f"/proc/{p.pid}/schedstat").read().split()[0]) - cpu_ns < 0.01 * 2e9   # 1 % of a core
    os.kill(x.pid, signal.SIGKILL)
    until(lambda: p.poll() is not None, 2)
    assert p.returncode == 1 and x.display in p.stderr.read().decode()


@pytest.mark.parametrize("reader", ["full", "gone"])
def test_replies_nobody_reads_are_dropped(scene, reader):
    x = scene.server("256")
    r, w = os.pipe()
    fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
    p = scene.run(x, "-z", "10001", "-nofork", at="2026-01-01 17:00:00", stdin=subprocess.PIPE, stdout=w)
    os.close(w)
    os.close(r) if reader == "gone" else None
    p.stdin.write(b"z=10001\n" * 150)   # 46-byte replies
    p.stdin.flush()
    time.sleep(1.6)
    reloads(x, DAY_K)
    stop(p, x)


def test_endless_input_holds_up_neither_the_night_nor_the_stop(scene):
    yes = subprocess.Popen(["yes", "k"], stdout=subprocess.PIPE)
    scene.programs.append(yes)
    x = scene.server("256")
    p = scene.run(x, *HERE, at="2026-01-01 18:06:58", stdin=yes.stdout, stdout=subprocess.DEVNULL)
    until(lambda: x.crtcs()[0] == DAY_K, 2)
    until(lambda: x.crtcs() == [NIGHT_K] * 16, 5)
    stop(p, x)
