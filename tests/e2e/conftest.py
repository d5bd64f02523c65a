import glob
import os
import signal
import subprocess
import sys
import time

import pytest
import xcffib.randr
import xcffib.xf86vidmode

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "scripts"))
import ramps  # noqa: E402

PROGRAM = os.environ.get("DUSKWARM", os.path.join(TOP, "build", "duskwarm"))
FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
TEST_S = 90
# At 0, 0 in UTC the sun rises at 06:00 and sets at 18:07 on 1 January.
HERE = ("-l", "0", "-g", "0")
NIGHT, DAY, SUNSET = "2026-01-01 22:00:00", "2026-01-01 12:00:00", "2026-01-01 18:06:58"


def start_text(screens=1, night=False):
    return ("\x1b[2J\x1b[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\n"
            "This will only work if you're running X on console.\n\n"
            f"Found {screens} screen{'s' * (screens != 1)}.\n"
            "Your location (lat, long) is 0.0, 0.0\n\n"
            "Your night-time color temperature is 3400\n"
            + "It's night time. Your screen is changing now.\n" * night)


def until(check, seconds):
    start = time.monotonic()
    while not check():
        assert time.monotonic() - start < seconds, f"not within {seconds} s"
        time.sleep(0.002)
    return time.monotonic() - start


class Server:
    def __init__(self, *args):
        self.process = subprocess.Popen([f"{TOP}/scripts/xserver", "exec", *args], text=True,
                                        stdout=subprocess.PIPE, start_new_session=True)
        self.display = ":" + self.process.stdout.readline().strip()
        assert self.display != ":", "the X server did not start"
        self.conn = xcffib.connect(display=self.display)
        randr = self.conn.core.QueryExtension(5, "RANDR").reply().present
        self.crtcs = ramps.crtc_ids(self.conn) if randr else []

    def kelvins(self, n=None):
        # None for ramps the program never loads
        return [ramps.kelvin(r) for r in ramps.crtc_ramps(self.conn, self.crtcs[:n])]

    def vidmode(self, screen):
        # of a 256-entry screen, to the 8 bits XF86VidMode keeps
        got = self.conn(xcffib.xf86vidmode.key).GetGammaRamp(screen, 256).reply()
        return ramps.KELVINS.get(got.red[-1] // 257 << 16 | got.green[-1] // 257 << 8
                                 | got.blue[-1] // 257)

    def poison(self):
        # black, which the program never loads, on 256-entry CRTCs and screens
        black = ramps.line(0, 256)
        for crtc in self.crtcs:
            self.conn(xcffib.randr.key).SetCrtcGamma(crtc, 256, *black)
        for screen in range(len(self.conn.get_setup().roots)):
            self.conn(xcffib.xf86vidmode.key).SetGammaRamp(screen, 256, *black)
        self.conn.core.GetInputFocus().reply()

    def stop(self):
        self.conn.disconnect()
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Scene:
    def __init__(self):
        self.servers, self.programs = [], []

    def server(self, *args):
        self.servers.append(Server(*args))
        return self.servers[-1]

    def run(self, x, *args, at=None, speed=1, program=PROGRAM, env=(), **popen):
        env = {"PATH": os.environ["PATH"], "TZ": "UTC0", **({"DISPLAY": x.display} if x else {}),
               **dict(env)}
        if at:
            env.update(LD_PRELOAD=FAKETIME, FAKETIME=f"@{at} x{speed}")
        popen = {"stdin": subprocess.DEVNULL, "stdout": subprocess.PIPE, "stderr": subprocess.PIPE,
                 **popen}
        self.programs.append(subprocess.Popen([program, *args], env=env, **popen))
        return self.programs[-1]


@pytest.fixture
def scene():
    signal.signal(signal.SIGALRM, lambda *_: pytest.fail(f"over {TEST_S} s"))
    signal.alarm(TEST_S)
    scene = Scene()
    yield scene
    signal.alarm(0)
    for p in scene.programs:
        p.kill()
        p.wait()
    for x in scene.servers:
        x.stop()
    # libfaketime's shared memory, left by programs that never exit
    dead = [f for f in glob.glob("/dev/shm/*faketime_s*m_*")
            if not os.path.exists("/proc/" + f.rsplit("_", 1)[1])]
    subprocess.run(["rm", "-f", *dead])


@pytest.fixture
def x(scene):
    return scene.server("256")


# When shows() (CRTC 0) first reads a load of low to high K after black
def load_in(x, low, high, seconds=30, shows=None):
    shows = shows or (lambda: x.kelvins(1)[0])
    deadline = time.monotonic() + seconds
    while True:
        x.poison()
        kelvin = None
        while kelvin is None:
            assert time.monotonic() < deadline, f"no load of {low} to {high} K in {seconds} s"
            time.sleep(0.002)
            kelvin = shows()
        if low <= kelvin <= high:
            return time.monotonic()


# Black, sig: all shown() read 6500 K within 0.2 s of `since`; a Popen ends with 0.
def restores(program, x, since=None, sig=signal.SIGTERM, shown=None):
    shown = shown or x.kelvins
    x.poison()
    os.kill(getattr(program, "pid", program), sig)
    since = since or time.monotonic()
    until(lambda: set(shown()) == {6500}, since + 0.2 - time.monotonic())
    assert isinstance(program, int) or program.wait(5) == 0
