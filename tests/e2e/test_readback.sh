#!/bin/bash
# What the display code actually puts on a server: temperatures are loaded
# through it (loadkelvin) and the ramps read back with our own tool
# (gammaread), which computes the expected line floor(i*c*257/(n-1)) itself.
#
# The dummy driver keeps the RandR (per CRTC) and XF86VidMode (per screen)
# ramps apart, so each case also shows which extension a mode wrote to: the
# other one still holds what it held before. XF86VidMode readback keeps only
# the top log2(n) bits of an entry; gammaread's check-vidmode allows for that.

: "${XSERVER_FIRST:=160}"   # away from the other scripts' displays, for ctest -j
export XSERVER_FIRST
. "$(dirname "$0")/lib.sh"
require_files "$GAMMAREAD" "$LOADKELVIN"

RANDR=1
VIDMODE=0

case_begin "one screen of 256: each mode writes its own extension, exactly"
if start_server 1screen-256.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    expect_crtcs "every CRTC holds 3400 K" ffc184 16
    expect_vidmode "RandR left XF86VidMode alone" 0 initial
    # The checker must tell close colours apart, or its passes mean nothing.
    expect_cmd_status 1 "a ramp one step bluer is not taken for 3400 K" \
        gammaread check-crtcs ffc185
    expect_cmd "load 3400 K through XF86VidMode" load 3400 $VIDMODE
    expect_vidmode "XF86VidMode holds 3400 K" 0 ffc184
    expect_cmd "load 6500 K through RandR" load 6500 $RANDR
    expect_crtcs "every CRTC holds 6500 K" fff9fd 16
    expect_vidmode "XF86VidMode still holds 3400 K" 0 ffc184
    expect_cmd "load 2000 K through XF86VidMode" load 2000 $VIDMODE
    expect_vidmode "XF86VidMode holds 2000 K" 0 ff8912
    expect_crtcs "every CRTC still holds 6500 K" fff9fd 16
    stop_server
fi

# The last request of a load has no reply, so it stays in Xlib's buffer
# unless the display code flushes. The loader makes no call of its own after
# the load here, and keeps its connection open while we look.
case_begin "a load reaches the server without waiting for a later request"
if start_server 1screen-256.conf; then
    if hold_load 4500 $RANDR; then
        expect_crtcs "every CRTC holds 4500 K" ffdbba 16
        release_load
    fi
    if hold_load 4500 $VIDMODE; then
        expect_vidmode "XF86VidMode holds 4500 K" 0 ffdbba
        release_load
    fi
    stop_server
fi

case_begin "one screen at depth 30: 1024-entry ramps"
if start_server 1screen-1024.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    expect_crtcs "every CRTC holds 3400 K" ffc184 16
    expect_cmd "load 3400 K through XF86VidMode" load 3400 $VIDMODE
    expect_vidmode "XF86VidMode holds 3400 K" 0 ffc184
    stop_server
fi

case_begin "two screens of 256: every CRTC and every screen is loaded"
if start_server 2screen-256.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    expect_crtcs "all CRTCs of both screens hold 3400 K" ffc184 32
    expect_cmd "load 3400 K through XF86VidMode" load 3400 $VIDMODE
    expect_vidmode "screen 0 holds 3400 K" 0 ffc184
    expect_vidmode "screen 1 holds 3400 K" 1 ffc184
    stop_server
fi

case_begin "screens of 256 and 1024: the second is not driven"
if start_server 2screen-256-1024.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    expect_crtcs "the CRTCs of screen 0 hold 3400 K" -s 0 ffc184 16
    expect_crtcs "the CRTCs of screen 1 are untouched" -s 1 initial 16
    expect_cmd "load 3400 K through XF86VidMode" load 3400 $VIDMODE
    expect_vidmode "screen 0 holds 3400 K" 0 ffc184
    expect_vidmode "screen 1 is untouched" 1 initial
    stop_server
fi

case_begin "three screens, 48 CRTCs: the first 32 are loaded, the rest ignored"
if start_server 3screen-256.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    expect_crtcs "the first 32 CRTCs hold 3400 K" -n 32 ffc184 32
    expect_crtcs "the CRTCs of screen 2 are untouched" -s 2 initial 16
    expect_cmd "load 3400 K through XF86VidMode" load 3400 $VIDMODE
    expect_vidmode "screen 2 holds 3400 K" 2 ffc184
    stop_server
fi

# The 2048 and 4096 servers are used through RandR only: an XF86VidMode load
# corrupts their CRTC 0.
case_begin "2048-entry CRTCs are loaded"
if start_server 1screen-2048.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    expect_crtcs "every CRTC holds 3400 K" ffc184 16
    stop_server
fi

case_begin "4096-entry CRTCs are left alone, the screen is still valid"
if start_server 1screen-4096.conf; then
    expect_cmd "load 3400 K through RandR" load 3400 $RANDR
    if [[ $(cat "$CMD_OUT") != *"Display 1 has 4096 size"* ]]; then
        fail "no size line for the 4096-entry screen"
        show_plain "$CMD_OUT"
    fi
    expect_crtcs "no CRTC was loaded" initial 16
    stop_server
fi

finish
