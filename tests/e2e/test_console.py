import fcntl
import os
import re
import select
import signal
import subprocess
import termios
import threading
import time
import tty
from typing import NamedTuple

import pytest
from conftest import DAY, HERE, NIGHT, PROGRAM, load_in, restores, start_text, until


class Say(NamedTuple):
    line: bytes
    reply: str


# In this order; at MIDSUMMER it is day wherever the lines move it.
MIDSUMMER = "2026-06-21 14:00:00"
SCRIPT = [
    Say(b"l=80\n", "Latitude=65.0\n"),
    Say(b"l=nan\n", "Latitude=nan\n"),
    Say(b"g=-200\n", "Longitude=-180.0\n"),
    Say(b"z=02134\n", "ZIPCode=2134\nLatitude=42.4\nLongitude=-71.1\n"),
    Say(b"z=12\n", "ZIPCode=notfound\n"),
    Say(b"l=x\n", "Latitude=42.4\n"),
    Say(b"k = 3000\n", "Colortemp=3400\n"),
    Say(b"c\n", "Colortemp=6500\n"),
    Say(b"x=5\n", ""),
    Say(b"x\0k\n", ""),   # a NUL ends the line's text, not the line
    Say(b"a" * 1023 + b"k\n", "Colortemp=3400\n"),   # 1023 bytes, then a line of its own
    Say(b"g\n", "Longitude=-71.1\n"),
]


def read_until(fd, done, seconds):
    text, deadline = b"", time.monotonic() + seconds
    while not done(text) and select.select([fd], [], [], max(0, deadline - time.monotonic()))[0]:
        text += os.read(fd, 65536)
    return text


# 2000 lines through pipes, as a script drives it, or a pty read as fast as it writes.
@pytest.mark.parametrize("on_pty", [pytest.param(False, id="pipes"), pytest.param(True, id="pty")])
def test_a_reader_that_keeps_up_gets_every_reply(scene, x, on_pty):
    if on_pty:
        ours, its = os.openpty()
        tty.setraw(its)   # no echoes, no line editing
        scene.run(x, *HERE, "-nofork", at=MIDSUMMER, speed=10, stdin=its, stdout=its)
        into = out = ours
    else:
        p = scene.run(x, *HERE, "-nofork", at=MIDSUMMER, speed=10, stdin=subprocess.PIPE)
        into, out = p.stdin.fileno(), p.stdout.fileno()
    threading.Thread(target=os.write, args=(into, b"".join(say.line for say in SCRIPT) * 125),
                     daemon=True).start()
    want = start_text().encode() + "".join(say.reply for say in SCRIPT).encode() * 125
    assert read_until(out, lambda text: len(text) >= len(want), 20) == want


# A hung terminal, read again: no reply cut. The program runs as nobody, as after su.
def test_a_terminal_that_stops_reading_stalls_nothing(scene, x):
    master, slave = os.openpty()
    tty.setcbreak(slave)   # no echoes
    exe = os.open(PROGRAM, os.O_RDONLY)   # its path may be closed to nobody
    p = scene.run(x, *HERE, "-nofork", program=f"/proc/self/fd/{exe}", at=MIDSUMMER, speed=10,
                  user=65534, pass_fds=[exe], stdin=slave, stdout=slave, start_new_session=True,
                  preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    # The replies fill the 20 KB a terminal holds; the preview, last, has none.
    lines = b"z=02134\n" * 1000 + b"p\n"
    threading.Thread(target=os.write, args=(master, lines), daemon=True).start()
    load_in(x, 3400, 6400, 10)   # the loop goes on
    said = read_until(master, lambda text: False, 2).partition(b"3400\r\n")[2]
    assert re.fullmatch(rb"(ZIPCode=2134\r\nLatitude=42.4\r\nLongitude=-71.1\r\n){1,999}", said)
    restores(p, x, load_in(x, 6500, 6500, 1))


def cpu_s(pid):
    return int(open(f"/proc/{pid}/schedstat").read().split()[0]) / 1e9


# The parent signalled while its start-up text waits on a full pipe: the child sleeps on.
def test_a_signal_to_the_parent_leaves_the_child_asleep(scene, x):
    r, w = os.pipe()
    fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
    os.write(w, b"." * (4096 - len(start_text())))   # room for the start-up text only
    p = scene.run(x, *HERE, at=DAY, stdout=w)
    os.close(w)
    children = f"/proc/{p.pid}/task/{p.pid}/children"
    until(lambda: "pipe_write" in open(f"/proc/{p.pid}/wchan").read() and open(children).read(), 5)
    child = int(open(children).read())
    p.send_signal(signal.SIGTERM)
    assert p.wait(5) == 0
    used_s = cpu_s(child)
    time.sleep(1)
    assert cpu_s(child) - used_s < 0.01   # 1 % of a core
    restores(child, x, load_in(x, 6500, 6500, 1))


# A job of an interactive shell (&), with input typed ahead.
def test_a_background_job_is_never_stopped_by_its_terminal(scene, x):
    master, slave = os.openpty()
    scene.run(None, "--norc", "--noprofile", "-i", program="/bin/bash", env={"PS1": "$ "},
              stdin=slave, stdout=slave, stderr=slave, start_new_session=True,
              preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    # 6500 K at night too, whatever the time
    command = f"DISPLAY={x.display} {PROGRAM} {' '.join(HERE)} -k 6500 -nofork"
    os.write(master, f"{command} & echo PID=$!; sleep 3\n".encode())
    pid = rb"PID=(\d+)\r"
    job = int(re.search(pid, read_until(master, lambda text: re.search(pid, text), 5))[1])
    for _ in range(20):
        os.write(master, b"k\n")
        time.sleep(0.05)
        assert open(f"/proc/{job}/stat").read().split()[2] != "T"
    os.write(master, b"fg\nk\n")
    # The shell reads the k lines; fg names the job, which answers.
    said = read_until(master, lambda text: b"Colortemp" in text, 10)
    assert re.search(rb"-nofork\r\n.*Colortemp=6500", said, re.S)
    restores(job, x, load_in(x, 6500, 6500, 1))
