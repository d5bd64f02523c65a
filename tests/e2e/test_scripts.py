import os
import re
import signal
import time
from typing import NamedTuple

import pytest
from conftest import HERE, PROGRAM, TOP, until

SCRIPTS = {"run": HERE, "demo": ()}


class Way(NamedTuple):
    sig: int
    group: bool = False    # to the whole process group, as a terminal or a service manager does
    twice: bool = False    # again while it cleans up
    times: int = 10


WAYS = [
    pytest.param(Way(signal.SIGINT), id="SIGINT"),
    pytest.param(Way(signal.SIGTERM), id="SIGTERM"),
    pytest.param(Way(signal.SIGINT, group=True), id="Ctrl-C"),
    pytest.param(Way(signal.SIGTERM, group=True), id="SIGTERM to the group"),
    pytest.param(Way(signal.SIGINT, group=True, twice=True, times=5), id="Ctrl-C twice"),
    pytest.param(Way(signal.SIGKILL, times=5), id="SIGKILL"),
]


def start(scene, script, tmp_path):
    """The script, its X server, what it said up to a ramp line."""
    tmp_path.mkdir()
    env = {"BUILD_DIR": os.path.dirname(PROGRAM), "TMPDIR": str(tmp_path)}
    p = scene.run(None, *SCRIPTS[script], program=f"{TOP}/scripts/{script}", env=env, text=True,
                  stderr=None, start_new_session=True)
    said = ""
    while not re.search(r"^ +\d+ s ", said, re.M):
        line = p.stdout.readline()
        assert line, said
        said += line
    return p, int(re.search(r"\(process (\d+)\)", said)[1]), said


def gone(pid):
    return not os.path.exists(f"/proc/{pid}") or open(f"/proc/{pid}/stat").read().split()[2] == "Z"


# However it is stopped it ends within 2 s and leaves no X server; stopped by a
# signal it reads the restored ramps back, and leaves no folder. Five at a time.
@pytest.mark.parametrize("script", SCRIPTS)
@pytest.mark.parametrize("way", WAYS)
def test_a_stop_leaves_nothing_behind(scene, tmp_path, script, way):
    for first in range(0, way.times, 5):
        numbers = range(first, min(first + 5, way.times))
        runs = [start(scene, script, tmp_path / str(n)) for n in numbers]
        for _ in range(1 + way.twice):
            for p, _, _ in runs:
                (os.killpg if way.group else os.kill)(p.pid, way.sig)
            time.sleep(0.05)
        for (p, server, said), n in zip(runs, numbers):
            said += p.communicate(timeout=2)[0]
            until(lambda: gone(server), 2)
            if way.sig != signal.SIGKILL:
                assert said.splitlines()[-1] == "All 16 CRTCs read back at 6500 K."
                assert p.returncode == 0
                assert not list((tmp_path / str(n)).iterdir())
