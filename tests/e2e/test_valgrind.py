import re
import subprocess
import time

from conftest import HERE, NIGHT, PROGRAM, until


# One server: Xlib keeps its name.
def test_memcheck_finds_nothing_and_nothing_grows(scene, x, tmp_path):
    in_use = []
    for steady_s in (1, 6):
        log = tmp_path / f"{steady_s}.log"
        memcheck = (f"--log-file={log}", "--error-exitcode=99", "--leak-check=full",
                    "--errors-for-leak-kinds=definite,indirect,possible")
        p = scene.run(x, *memcheck, PROGRAM, *HERE, "-nofork", at=NIGHT, speed=10,
                      program="valgrind", stdin=subprocess.PIPE)
        until(lambda: x.kelvins() == [3400] * 16, 30)
        p.stdin.write(b"k\nk=3000\np\nc\n")
        p.stdin.flush()
        said = b""
        while said.count(b"Colortemp=") < 3:   # all served
            said += p.stdout.read1()
        time.sleep(steady_s)
        p.terminate()
        assert p.wait(30) == 0, log.read_text()
        found = re.search(r"in use at exit: ([\d,]+ bytes in [\d,]+ blocks)", log.read_text())
        in_use.append(found[1])
    assert in_use[0] == in_use[1]
