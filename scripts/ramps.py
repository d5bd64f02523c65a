#!/usr/bin/python3
"""What an X server's gamma ramps hold, read back through RandR.

    scripts/ramps.py DISPLAY [SECONDS]
        watches the ramps (for SECONDS, or until stopped): a line whenever the
        temperature they show changes, and one every 10 s while it does not,
        each with a swatch of the colour on a terminal (unless NO_COLOR is set)
    scripts/ramps.py --check KELVIN DISPLAY
        says whether every CRTC holds the ramps of KELVIN; exit status 0 if so
    scripts/ramps.py --check LOW-HIGH DISPLAY
        the same for one temperature, the same on every CRTC, from LOW to HIGH

Imported, it lends its readback to the tests.
"""
import os
import re
import sys
import time

import xcffib
import xcffib.randr

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
with open(os.path.join(TOP, "data", "blackbody.cpp")) as table:
    COLOURS = [int(c, 16) for c in re.findall(r"0x([0-9a-f]{6})", table.read())]
# The lowest temperature of each colour: the one the program's ramp builder shows.
KELVINS = {c: 1000 + 100 * i for i, c in reversed(list(enumerate(COLOURS)))}
QUIET_S = 10


def ramp_of(kelvin):
    """The colour 0xRRGGBB the program shows for a temperature: the table entry at or below it."""
    return COLOURS[(kelvin - 1000) // 100]


def line(rgb, n):
    """The three ramps of n entries the program loads for the colour 0xRRGGBB."""
    return [[i * (rgb >> shift & 0xFF) * 257 // (n - 1) for i in range(n)] for shift in (16, 8, 0)]


def colour(ramps):
    """The colour whose straight line the three ramps are, or None."""
    rgb = ramps[0][-1] // 257 << 16 | ramps[1][-1] // 257 << 8 | ramps[2][-1] // 257
    return rgb if [list(r) for r in ramps] == line(rgb, len(ramps[0])) else None


def kelvin(ramps):
    """The temperature whose ramps these are, or None for any other ramps."""
    return KELVINS.get(colour(ramps))


def crtc_ids(conn):
    """Every CRTC, screen after screen."""
    randr = conn(xcffib.randr.key)
    return [c for s in conn.get_setup().roots for c in randr.GetScreenResources(s.root).reply().crtcs]


def crtc_ramps(conn, ids=None):
    """The ramps of the CRTCs named (all of them by default), in that order."""
    asked = [conn(xcffib.randr.key).GetCrtcGamma(c) for c in (crtc_ids(conn) if ids is None else ids)]
    return [(g.red, g.green, g.blue) for g in (a.reply() for a in asked)]


def describe(found):
    """A line's text: what CRTC 0 shows, and on how many CRTCs."""
    first = colour(found[0])
    what = "not a straight line" if first is None else f"{first:06x} ({KELVINS.get(first, '?')} K)"
    alike = sum(colour(r) == first for r in found)
    return f"CRTC 0: {what}, on {alike} of {len(found)} CRTCs"


def swatch(rgb):
    """A patch of the colour in 24-bit terminal colour, where that is wanted."""
    if rgb is None or not sys.stdout.isatty() or os.environ.get("NO_COLOR"):
        return ""
    return f"\x1b[48;2;{rgb >> 16};{rgb >> 8 & 0xFF};{rgb & 0xFF}m      \x1b[0m "


def watch(display, seconds=None):
    conn = xcffib.connect(display=display)
    start, shown, shown_at = time.monotonic(), None, 0.0
    while seconds is None or time.monotonic() - start < float(seconds):
        found = crtc_ramps(conn)
        text, now = describe(found), time.monotonic()
        if text != shown or now - shown_at >= QUIET_S:
            print(f"  {now - start:3.0f} s  {swatch(colour(found[0]))}{text}", flush=True)
            shown, shown_at = text, now
        time.sleep(1)


def check(wanted, display):
    low, _, high = wanted.partition("-")
    found = [kelvin(r) for r in crtc_ramps(xcffib.connect(display=display))]
    alike = found[0] is not None and found == found[:1] * len(found)
    if alike and int(low) <= found[0] <= int(high or low):
        print(f"All {len(found)} CRTCs read back at {found[0]} K.")
        return 0
    print(f"Not every CRTC holds {wanted} K: read back {found}.")
    return 1


if __name__ == "__main__":
    try:
        sys.exit(check(*sys.argv[2:]) if sys.argv[1:2] == ["--check"] else watch(*sys.argv[1:]))
    except KeyboardInterrupt:
        pass
