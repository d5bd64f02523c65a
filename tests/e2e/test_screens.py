import os
import re
import signal

import pytest
from conftest import DAY, DAY_K, NIGHT, NIGHT_K, TOP, start_text, until


@pytest.mark.parametrize("server, err", [
    (("xvfb",), "Incompatible X server, sorry.\n"),
    (("64",), "Display 1 has 64 size\nSorry, we only support 8, 10, 11, and 12-bit displays right now.\n"),
    (None, "Couldn't open display (DISPLAY is not set)\n.\n"),
])
def test_refused_starts(scene, server, err):
    p = scene.run(server and scene.server(*server), "-l", "0", "-g", "0")
    assert (p.communicate(timeout=10)[1].decode(), p.returncode) == (err, 255)


# The child fades the first screen, and that screen's size only, into the night,
# and restores it. The start-up text is there once, though parent and child share
# the file: also when a child ends through exit(), on losing its X server.
def test_background(scene, tmp_path):
    x, out = scene.server("1024", "256"), tmp_path / "out"

    def start():
        assert scene.run(x, "-l", "0", "-g", "0", at=NIGHT, speed=10, stdout=out.open("w")).wait(5) == 0
        text = re.escape(start_text(2, night=True)) + r"Going to background: 'kill (\d+)' to turn off.\n\n"
        return int(re.fullmatch(text, out.read_text())[1])
    child = start()
    assert until(lambda: x.crtcs() == [NIGHT_K] * 16 + [None] * 16, 10) > 1   # 20 s at x10
    os.kill(child, signal.SIGTERM)
    until(lambda: x.crtcs() == [DAY_K] * 16 + [None] * 16, 0.2)
    child = start()
    os.kill(x.pid, signal.SIGKILL)
    until(lambda: not os.path.exists(f"/proc/{child}/exe"), 5)
    assert out.read_text().count("Your location") == 1


def test_three_screens(scene):
    x = scene.server("256", "256", "256")
    p = scene.run(x, "-l", "0", "-g", "0", "-nofork", at=NIGHT, speed=10)
    until(lambda: x.crtcs() == [NIGHT_K] * 32 + [None] * 16, 10)
    p.send_signal(signal.SIGHUP)
    assert p.wait(5) == -signal.SIGHUP and x.crtcs() == [NIGHT_K] * 32 + [None] * 16
    p = scene.run(x, "-l", "0", "-g", "0", "-r", "0", "-nofork", at=DAY)
    until(lambda: [x.vidmode(s) for s in range(3)] == [DAY_K] * 3, 1)   # flushed at once
    assert x.crtcs() == [NIGHT_K] * 32 + [None] * 16
    p.terminate()
    assert p.communicate()[0].decode() == start_text(3)


def test_without_randr_the_screen_is_loaded_through_vidmode(scene):
    x = scene.server("--no-randr", "256")
    p = scene.run(x, "-l", "0", "-g", "0", "-nofork", at=NIGHT, speed=10)
    until(lambda: x.vidmode(0) == NIGHT_K, 10)
    p.terminate()
    assert p.communicate(timeout=5) == (start_text(night=True).encode(), b"Display 1 has 256 size\n")


def test_run_script_without_a_display(scene):
    p = scene.run(None, "-l", "0", "-g", "0", program=f"{TOP}/scripts/run", text=True)
    assert p.stdout.readline().startswith("No X display within reach (DISPLAY=unset)")
    server = p.stdout.readline().split()[4].strip("),")
    while "CRTC 0: " not in p.stdout.readline():
        pass
    p.terminate()
    assert p.wait(10) == 143 and not os.path.exists(f"/proc/{server}")
