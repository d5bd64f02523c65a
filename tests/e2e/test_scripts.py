import os
import re
import signal
import time
from typing import NamedTuple

import pytest
from conftest import HERE, PROGRAM, TOP, until

SCRIPTS = {"run": (*HERE, "-nofork"), "demo": ()}


class Way(NamedTuple):
    sig: int
    group: bool = False    # to the whole process group, as a terminal or a service manager does
    twice: bool = False    # again while it cleans up
    times: int = 10


WAYS = {
    "SIGTERM": Way(signal.SIGTERM),
    "Ctrl-C": Way(signal.SIGINT, group=True),
    "Ctrl-C twice": Way(signal.SIGINT, group=True, twice=True, times=5),
    "SIGKILL": Way(signal.SIGKILL, times=5),
}


def start(scene, script, tmp_path):
    """The script, its X server, what it said up to a ramp line."""
    tmp_path.mkdir()
    p = scene.run(None, *SCRIPTS[script], program=f"{TOP}/scripts/{script}", text=True,
                  env={"BUILD_DIR": os.path.dirname(PROGRAM), "TMPDIR": tmp_path},
                  stderr=None, start_new_session=True)
    said = ""
    while not re.search(r"^ +\d+ s ", said, re.M):
        line = p.stdout.readline()
        assert line, said
        said += line
    return p, int(re.search(r"\(process (\d+)\)", said)[1]), said


def gone(pid):
    return not os.path.exists(f"/proc/{pid}") or ") Z " in open(f"/proc/{pid}/stat").read()


# However it is stopped it ends within 2 s and leaves no X server; stopped by a
# signal it reads the restored ramps back, and leaves no folder. Five at a time.
@pytest.mark.parametrize("script", SCRIPTS)
@pytest.mark.parametrize("way", WAYS.values(), ids=WAYS)
def test_a_stop_leaves_nothing_behind(scene, tmp_path, script, way):
    for first in range(0, way.times, 5):
        runs = [start(scene, script, tmp_path / str(n)) for n in range(first, first + 5)]
        for _ in range(1 + way.twice):
            for p, _, _ in runs:
                (os.killpg if way.group else os.kill)(p.pid, way.sig)
            time.sleep(0.05)
        for n, (p, server, said) in enumerate(runs, first):
            said += p.communicate(timeout=2)[0]
            until(lambda: gone(server), 2)
            if way.sig != signal.SIGKILL:
                assert said.endswith("All 16 CRTCs read back at 6500 K.\n") and p.returncode == 0
                assert not list((tmp_path / str(n)).iterdir())


@pytest.mark.parametrize("command, said, status", [
    *(pytest.param(f"DISPLAY=:999 scripts/{s}", b"-nofork\nduskwarm ended with status 0.\n", 0,
                   id=s) for s in SCRIPTS),
    pytest.param("scripts/run -z 10001 -r", b"without its pair.\n", 2, id="odd words"),
    pytest.param("unshare --net scripts/run -l 0", b"-l 0\n", 0, id="unlisted socket"),
])
def test_an_early_end(scene, x, tmp_path, command, said, status):
    os.symlink("/bin/echo", tmp_path / "duskwarm")    # a program that ends at once
    p = scene.run(x, program=command, shell=True, cwd=TOP, env={"BUILD_DIR": tmp_path})
    assert b"".join(p.communicate()).endswith(said) and p.returncode == status
