import os
import re
import signal

import pytest
from conftest import DAY, HERE, NIGHT, load_in, restores, start_text, until


@pytest.mark.parametrize("server, display, err", [
    pytest.param(("xvfb",), None, "Incompatible X server, sorry.\n", id="no XF86VidMode"),
    pytest.param(("64",), None,
                 "Display 1 has 64 size\n"
                 "Sorry, we only support 8, 10, 11, and 12-bit displays right now.\n",
                 id="a 64-entry screen"),
    pytest.param(None, None, "Couldn't open display (DISPLAY is not set)\n.\n", id="no DISPLAY"),
    pytest.param(None, ":59999", "Couldn't open display :59999\n.\n", id="no server there"),
])
def test_refused_starts(scene, server, display, err):
    x = server and scene.server(*server)
    p = scene.run(x, *HERE, env={"DISPLAY": display} if display else {})
    assert (p.communicate(timeout=10)[1].decode(), p.returncode) == (err, 255)


# Only the first screen's size; the start-up text once, also after the child's exit
def test_background(scene, tmp_path):
    x, out = scene.server("1024", "256"), tmp_path / "out"

    def start():
        assert scene.run(x, *HERE, at=NIGHT, speed=5, stdout=out.open("w")).wait(5) == 0
        text = re.escape(start_text(2, night=True)) + r"Going to background: 'kill (\d+)' to turn"
        return int(re.fullmatch(text + r" off\.\n\n", out.read_text())[1])
    child = start()
    assert until(lambda: x.kelvins() == [3400] * 16 + [None] * 16, 10) > 3   # 20 s at x5
    os.kill(child, signal.SIGTERM)
    until(lambda: x.kelvins() == [6500] * 16 + [None] * 16, 0.2)
    child = start()
    x.process.kill()
    until(lambda: not os.path.exists(f"/proc/{child}/exe"), 5)
    assert out.read_text().count("Your location") == 1


def test_three_screens(scene):
    x = scene.server("256", "256", "256")
    p = scene.run(x, *HERE, "-nofork", at=NIGHT, speed=10)
    until(lambda: x.kelvins() == [3400] * 32 + [None] * 16, 10)
    p.send_signal(signal.SIGHUP)
    assert p.wait(5) == -signal.SIGHUP and x.kelvins() == [3400] * 32 + [None] * 16
    p = scene.run(x, *HERE, "-r", "0", "-nofork", at=DAY)
    screens = lambda: [x.vidmode(s) for s in range(3)]  # noqa: E731
    until(lambda: screens() == [6500] * 3, 1)   # each load reaches the server at once
    assert x.kelvins() == [3400] * 32 + [None] * 16
    restores(p, x, load_in(x, 6500, 6500, shows=lambda: x.vidmode(2)), shown=screens)


def test_without_randr_the_screen_is_loaded_through_vidmode(scene):
    x = scene.server("--no-randr", "256")
    p = scene.run(x, *HERE, "-nofork", at=NIGHT, speed=10)
    until(lambda: x.vidmode(0) == 3400, 10)
    restores(p, x, shown=lambda: [x.vidmode(0)])
    said = (start_text(night=True).encode(), b"Display 1 has 256 size\n")
    assert p.communicate(timeout=5) == said
