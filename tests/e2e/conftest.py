"""Real X servers and the real program; every test ends all it started."""
import fcntl
import os
import signal
import struct
import subprocess
import sys
import termios
import time

import pytest
import xcffib.randr
import xcffib.xf86vidmode

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "scripts"))
import ramps  # noqa: E402  (scripts/ramps.py)

PROGRAM = os.environ.get("DUSKWARM", os.path.join(TOP, "build", "duskwarm"))
FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
TEST_S = 90   # the longest a test may take; ctest allows every file more
# With TZ=UTC0 and -l 0 -g 0 the sun rises at 06:00 and sets at 18:07 on 1 January.
HERE = ("-l", "0", "-g", "0")
NIGHT, DAY, SUNSET = "2026-01-01 22:00:00", "2026-01-01 12:00:00", "2026-01-01 18:06:58"
BLACK = 0   # ramps the program never loads


def start_text(screens=1, night=False):
    return ("\x1b[2J\x1b[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\n"
            "This will only work if you're running X on console.\n\n"
            f"Found {screens} screen{'s' * (screens != 1)}.\n"
            "Your location (lat, long) is 0.0, 0.0\n\n"
            "Your night-time color temperature is 3400\n"
            + "It's night time. Your screen is changing now.\n" * night)


def until(check, seconds, step=0.002):
    """Seconds until check() holds; fails the test after `seconds`."""
    start = time.monotonic()
    while not check():
        assert time.monotonic() - start < seconds, f"not within {seconds} s"
        time.sleep(step)
    return time.monotonic() - start


def queued(fd):
    """Bytes waiting to be read from fd."""
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0" * 4))[0]


def cpu_s(pid):
    """Seconds the process has spent on a CPU."""
    with open(f"/proc/{pid}/schedstat") as stat:
        return int(stat.read().split()[0]) / 1e9


class Server:
    """An X server of the test's own: its child, so it ends with the test, or with pytest."""

    def __init__(self, *args):
        self.process = subprocess.Popen([f"{TOP}/scripts/xserver", "exec", *args], text=True,
                                        stdout=subprocess.PIPE, start_new_session=True)
        number = self.process.stdout.readline().strip()   # the pipe stays open while it runs
        assert number, "the X server did not start"
        self.display, self.pid = f":{number}", self.process.pid
        self.conn = xcffib.connect(display=self.display)
        self.screens = len(self.conn.get_setup().roots)
        randr = self.conn.core.QueryExtension(5, "RANDR").reply().present
        self.crtcs = ramps.crtc_ids(self.conn) if randr else []

    def kelvins(self):
        """The temperature each CRTC shows, or None for ramps the program does not load."""
        return [ramps.kelvin(r) for r in ramps.crtc_ramps(self.conn, self.crtcs)]

    def first(self):
        """The temperature CRTC 0 shows (one round trip)."""
        return ramps.kelvin(ramps.crtc_ramps(self.conn, self.crtcs[:1])[0])

    def vidmode(self, screen):
        """The temperature a screen's 256-entry XF86VidMode ramps end on (their top 8 bits)."""
        got = self.conn(xcffib.xf86vidmode.key).GetGammaRamp(screen, 256).reply()
        rgb = got.red[-1] // 257 << 16 | got.green[-1] // 257 << 8 | got.blue[-1] // 257
        return ramps.KELVINS.get(rgb)

    def poison(self):
        """Loads ramps the program never loads on every CRTC and screen; waits until the server has them."""
        for crtc in self.crtcs:
            self.conn(xcffib.randr.key).SetCrtcGamma(crtc, 256, *ramps.line(BLACK, 256))
        vidmode = self.conn(xcffib.xf86vidmode.key)
        for screen in range(self.screens):
            size = vidmode.GetGammaRampSize(screen).reply().size
            vidmode.SetGammaRamp(screen, size, *ramps.line(BLACK, size))
        self.conn.core.GetInputFocus().reply()

    def stop(self):
        self.conn.disconnect()
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()


class Scene:
    """Starts servers and programs, and ends them all when the test ends."""
    servers, programs = [], []

    def server(self, *args):
        self.servers.append(Server(*args))
        return self.servers[-1]

    def run(self, x, *args, at=None, speed=1, wrap=(), program=PROGRAM, env=(), **popen):
        """Starts the program on server x (None: DISPLAY unset), the clock at `at` running `speed` times fast."""
        env = {"PATH": os.environ["PATH"], "TZ": "UTC0", **({"DISPLAY": x.display} if x else {}), **dict(env)}
        if at:
            env.update(LD_PRELOAD=FAKETIME, FAKETIME=f"@{at} x{speed}")
        popen = {"stdin": subprocess.DEVNULL, "stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **popen}
        self.programs.append(subprocess.Popen([*wrap, program, *args], env=env, **popen))
        return self.programs[-1]


@pytest.fixture
def scene():
    # A test that hangs fails, and still ends what it started.
    def too_long(*_):
        pytest.fail(f"the test took over {TEST_S} s")
    signal.signal(signal.SIGALRM, too_long)
    signal.alarm(TEST_S)
    yield Scene()
    signal.alarm(0)
    for p in Scene.programs:
        p.kill()
        p.wait()
    for x in Scene.servers:
        x.stop()
    Scene.programs.clear()
    Scene.servers.clear()


def load_in(x, low, high, seconds=30, shows=None):
    """Waits for a new load (after a poisoning) of a temperature from low to high; returns its time.
    shows() reads the temperature loaded (default: CRTC 0's)."""
    shows = shows or x.first
    deadline = time.monotonic() + seconds
    while True:
        x.poison()
        kelvin = None
        while kelvin is None:
            assert time.monotonic() < deadline, f"no load from {low} to {high} K within {seconds} s"
            time.sleep(0.002)
            kelvin = shows()
        if low <= kelvin <= high:
            return time.monotonic()


def restores(program, x, since=None, sig=signal.SIGTERM, shown=None):
    """Poisons and sends sig to program (a Popen, or the id of a process not ours): 6500 K is back
    everywhere shown() reads (default: every CRTC) within 0.2 s of `since` (default: the signal),
    and a program of ours ends with status 0."""
    shown = shown or x.kelvins
    x.poison()
    os.kill(getattr(program, "pid", program), sig)
    since = since or time.monotonic()
    until(lambda: set(shown()) == {6500}, since + 0.2 - time.monotonic())
    assert isinstance(program, int) or program.wait(5) == 0
