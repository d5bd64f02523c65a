import os
import re
import signal
import subprocess

import pytest
from conftest import DAY, DAY_K, NIGHT, NIGHT_K, PROGRAM, TOP, start_text, until


@pytest.mark.parametrize("server, err", [
    (("xvfb",), "Incompatible X server, sorry.\n"),
    (("64",), "Display 1 has 64 size\nSorry, we only support 8, 10, 11, and 12-bit displays right now.\n"),
    (None, "Couldn't open display (DISPLAY is not set)\n.\n"),
])
def test_refused_starts(scene, server, err):
    p = scene.run(server and scene.server(*server), "-l", "0", "-g", "0")
    assert (p.communicate(timeout=10)[1].decode(), p.returncode) == (err, 255)


# The child fades the first screen, and that screen's size only, into the night, and restores it.
def test_background_fade_on_the_first_screen_of_its_size(scene, tmp_path):
    x, out = scene.server("1024", "256"), tmp_path / "out"
    assert scene.run(x, "-l", "0", "-g", "0", at=NIGHT, speed=10, stdout=out.open("w")).wait(5) == 0
    child = re.fullmatch(re.escape(start_text(2, night=True)) + r"Going to background: 'kill (\d+)' to turn off.\n\n",
                         out.read_text())[1]
    seen = set()
    assert until(lambda: seen.add(x.crtcs()[0]) or x.crtcs() == [NIGHT_K] * 16 + [None] * 16, 10) > 1   # 20 s at x10
    assert len(seen - {NIGHT_K, None}) >= 3
    os.kill(int(child), signal.SIGTERM)
    until(lambda: x.crtcs() == [DAY_K] * 16 + [None] * 16, 0.2)
    until(lambda: not os.path.exists(f"/proc/{child}/exe"), 5)
    assert out.read_text().count("Going") == 1


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
    env = {**{k: v for k, v in os.environ.items() if k != "DISPLAY"}, "BUILD_DIR": os.path.dirname(PROGRAM)}
    p = subprocess.Popen([f"{TOP}/scripts/run", "-l", "0", "-g", "0"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         text=True, env=env)
    scene.programs.append(p)
    assert p.stdout.readline().startswith("No X display within reach (DISPLAY=unset)")
    server = p.stdout.readline().split()[4].strip("),")
    while "CRTC 0: " not in p.stdout.readline():
        pass
    p.terminate()
    assert p.wait(10) == 143 and not os.path.exists(f"/proc/{server}")
