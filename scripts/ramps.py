#!/usr/bin/python3
"""What an X server's gamma ramps hold, read back through RandR.

    scripts/ramps.py DISPLAY [SECONDS]

prints a line a second (for SECONDS, or until stopped): the seconds since it
began, the colour and temperature that CRTC 0's ramps are the straight line
of, and how many of the CRTCs hold the same. Imported, it lends its readback to the tests.
"""
import itertools
import os
import re
import sys
import time

import xcffib
import xcffib.randr
import xcffib.xproto

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
with open(os.path.join(TOP, "data", "blackbody.cpp")) as table:
    COLOURS = [int(c, 16) for c in re.findall(r"0x([0-9a-f]{6})", table.read())]
# The lowest temperature of each colour: the one the program's ramp builder shows.
KELVINS = {c: 1000 + 100 * i for i, c in reversed(list(enumerate(COLOURS)))}


def line(rgb, n):
    """The three ramps of n entries the program loads for the colour 0xRRGGBB."""
    return [[i * (rgb >> shift & 0xFF) * 257 // (n - 1) for i in range(n)] for shift in (16, 8, 0)]


def colour(ramps):
    """The colour whose straight line the three ramps are, or None."""
    rgb = ramps[0][-1] // 257 << 16 | ramps[1][-1] // 257 << 8 | ramps[2][-1] // 257
    return rgb if [list(r) for r in ramps] == line(rgb, len(ramps[0])) else None


def crtc_ids(conn):
    """Every CRTC, screen after screen."""
    randr = conn(xcffib.randr.key)
    return [c for s in conn.get_setup().roots for c in randr.GetScreenResources(s.root).reply().crtcs]


def crtc_ramps(conn):
    """The ramps of every CRTC, screen after screen."""
    asked = [conn(xcffib.randr.key).GetCrtcGamma(c) for c in crtc_ids(conn)]
    return [(g.red, g.green, g.blue) for g in (a.reply() for a in asked)]


def describe(rgb):
    return "not a straight line" if rgb is None else f"{rgb:06x} ({KELVINS.get(rgb, '?')} K)"


def main(display, seconds=None):
    conn = xcffib.connect(display=display)
    for second in itertools.count() if seconds is None else range(int(seconds)):
        found = [colour(r) for r in crtc_ramps(conn)]
        print(f"  {second:3d} s  CRTC 0: {describe(found[0])}, on {found.count(found[0])} of {len(found)} CRTCs",
              flush=True)
        time.sleep(1)


if __name__ == "__main__":
    try:
        main(*sys.argv[1:])
    except KeyboardInterrupt:
        pass
