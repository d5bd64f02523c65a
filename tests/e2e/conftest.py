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
import ramps  # noqa: E402  (scripts/ramps.py)

PROGRAM = os.environ.get("DUSKWARM", os.path.join(TOP, "build", "duskwarm"))
# With TZ=UTC0 and -l 0 -g 0 the sun rises at 06:00 and sets at 18:07 on 1 January.
NIGHT, DAY = "2026-01-01 22:00:00", "2026-01-01 12:00:00"
DAY_K, NIGHT_K, POISON_K, K3300 = 0xFFF9FD, 0xFFC184, 0xFF8912, 0xFFBE7E


def start_text(screens=1, night=False):
    return ("\x1b[2J\x1b[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\nThis will only work if you're running X "
            f"on console.\n\nFound {screens} screen{'s' * (screens != 1)}.\nYour location (lat, long) is 0.0, 0.0\n\n"
            "Your night-time color temperature is 3400\n" + "It's night time. Your screen is changing now.\n" * night)


def until(check, seconds, step=0.005):
    """Seconds until check() holds; fails the test after `seconds`."""
    start = time.monotonic()
    while not check():
        assert time.monotonic() - start < seconds, f"not within {seconds} s"
        time.sleep(step)
    return time.monotonic() - start


class Server:
    def __init__(self, *args):
        out = subprocess.run([f"{TOP}/scripts/xserver", "start", *args], check=True, stdout=subprocess.PIPE, text=True)
        self.display, self.pid = out.stdout.split()[0], int(out.stdout.split()[1])
        self.conn = xcffib.connect(display=self.display)

    def crtcs(self):
        """The colour each CRTC's ramps are the straight line of, or None."""
        return [ramps.colour(r) for r in ramps.crtc_ramps(self.conn)]

    def vidmode(self, screen):
        """The colour a screen's 256-entry ramps end on (XF86VidMode reads back their top 8 bits only)."""
        got = self.conn(xcffib.xf86vidmode.key).GetGammaRamp(screen, 256).reply()
        return got.red[-1] // 257 << 16 | got.green[-1] // 257 << 8 | got.blue[-1] // 257

    def poison(self):
        """Loads, on every CRTC, a colour the program never shows here."""
        for crtc in ramps.crtc_ids(self.conn):
            self.conn(xcffib.randr.key).SetCrtcGamma(crtc, 256, *ramps.line(POISON_K, 256))
        self.conn.core.GetInputFocus().reply()   # the server has taken them


class Scene:
    """Starts servers and programs, and ends them all when the test ends."""
    servers, programs = [], []

    def server(self, *args):
        self.servers.append(Server(*args))
        return self.servers[-1]

    def run(self, x, *args, at=None, speed=1, wrap=(), program=PROGRAM, **popen):
        env = {"PATH": os.environ["PATH"], "TZ": "UTC0", "BUILD_DIR": os.path.dirname(PROGRAM),   # for scripts/run
               **({"DISPLAY": x.display} if x else {})}
        if at:
            env.update(LD_PRELOAD="/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1", FAKETIME=f"@{at} x{speed}")
        popen = {"stdin": subprocess.DEVNULL, "stdout": subprocess.PIPE, "stderr": subprocess.PIPE, **popen}
        self.programs.append(subprocess.Popen([*wrap, program, *args], env=env, **popen))
        return self.programs[-1]


@pytest.fixture
def scene():
    # A test that hangs fails, and still ends what it started.
    signal.signal(signal.SIGALRM, lambda *_: pytest.fail("the test took over 90 s")), signal.alarm(90)
    yield Scene()
    signal.alarm(0)
    for p in Scene.programs:
        p.kill(), p.wait()
    for x in Scene.servers:
        x.conn.disconnect()
        subprocess.run([f"{TOP}/scripts/xserver", "stop", str(x.pid)], check=True)
    Scene.programs.clear(), Scene.servers.clear()


def stop(program, x, sig=signal.SIGTERM):
    """The day ramp is back on every CRTC within 0.2 s of the signal, and the status is 0."""
    program.send_signal(sig)
    until(lambda: set(x.crtcs()) == {DAY_K}, 0.2, step=0.002)
    assert program.wait(5) == 0
