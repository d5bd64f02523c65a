#!/bin/bash
# Start-up against real X servers: what the program prints while it opens the
# display and sizes up the screens, and the starts it refuses.
#
# A start it accepts runs in the foreground (-nofork) and is stopped once the
# screen discovery lines are out; the checks look only at what start-up must
# print, so they hold whatever the program goes on to do.

: "${XSERVER_FIRST:=120}"   # away from the other scripts' displays, for ctest -j
export XSERVER_FIRST
. "$(dirname "$0")/lib.sh"
require_files "$DUSKWARM"

case_begin "no XF86VidMode (Xvfb): one screen found, then refused"
if start_server xvfb 1; then
    run_duskwarm "$DISP" 0 -l 40
    expect_status 255
    expect_exact "$OUT" "${BANNER}${GUESS_UTC}Found 1 screen."$'\n' "standard output"
    # Nothing but our own line: no word from Xlib about the missing extension.
    expect_exact "$ERR" $'Incompatible X server, sorry.\n' "standard error"
    stop_server
fi

case_begin "no XF86VidMode (Xvfb), two screens, RandR off: still refused"
if start_server xvfb 2; then
    run_duskwarm "$DISP" 0 -l 40 -g 10 -r 0 -nofork
    expect_status 255
    expect_exact "$OUT" "${BANNER}Found 2 screens."$'\n' "standard output"
    expect_exact "$ERR" $'Incompatible X server, sorry.\n' "standard error"
    stop_server
fi

case_begin "no server on the display: the name Xlib tried is reported"
if disp=$(free_display); then
    run_duskwarm "$disp" 0 -l 40
    expect_status 255
    expect_exact "$OUT" "${BANNER}${GUESS_UTC}" "standard output"
    expect_exact "$ERR" "Couldn't open display $disp"$'\n.\n' "standard error"
else
    fail "no free display number to try"
fi
run_duskwarm "" 0 -l 40 -g 0
expect_status 255
expect_exact "$ERR" $'Couldn\'t open display \n.\n' "standard error with DISPLAY unset"

case_begin "one screen of 256 entries"
if start_server 1screen-256.conf; then
    run_duskwarm "$DISP" 1 -l 40 -nofork
    expect_clean_run
    expect_prefix "$OUT" "${BANNER}${GUESS_UTC}Found 1 screen."$'\n' "standard output"
    expect_exact "$ERR" $'Display 1 has 256 size\n' "standard error"
    # A ZIP code brings its own longitude: nothing is guessed.
    TZ_RUN=IST-5:30 run_duskwarm "$DISP" 1 -z 10001 -nofork
    expect_clean_run
    expect_prefix "$OUT" "${BANNER}Found 1 screen."$'\n' "standard output with -z"
    # The guess follows TZ, half-hour zones included.
    TZ_RUN=IST-5:30 run_duskwarm "$DISP" 1 -l 12.5 -nofork
    guess=$'Guessing your longitude is 82.5 based on your timezone\nSpecify it with -g to make things better.\n'
    expect_prefix "$OUT" "${BANNER}${guess}Found 1 screen."$'\n' "standard output in UTC+5:30"
    stop_server
fi

case_begin "one screen at depth 30: 1024 entries"
if start_server 1screen-1024.conf; then
    run_duskwarm "$DISP" 1 -l 40 -g -3 -nofork
    expect_clean_run
    expect_prefix "$OUT" "${BANNER}Found 1 screen."$'\n' "standard output"
    expect_exact "$ERR" $'Display 1 has 1024 size\n' "standard error"
    stop_server
fi

case_begin "two screens of 256 entries"
if start_server 2screen-256.conf; then
    run_duskwarm "$DISP" 2 -l 40 -nofork
    expect_clean_run
    expect_prefix "$OUT" "${BANNER}${GUESS_UTC}Found 2 screens."$'\n' "standard output"
    expect_exact "$ERR" $'Display 1 has 256 size\nDisplay 2 has 256 size\n' "standard error"
    stop_server
fi

case_begin "two screens of different sizes: the first fixes the size, start goes on"
if start_server 2screen-256-1024.conf; then
    run_duskwarm "$DISP" 2 -l 40 -g 10 -nofork
    expect_clean_run
    expect_prefix "$OUT" "${BANNER}Found 2 screens."$'\n' "standard output"
    expect_exact "$ERR" $'Display 1 has 256 size\nDisplay 2 has 1024 size\n' "standard error"
    stop_server
fi

case_begin "a screen of 64 entries only: refused"
if start_server 1screen-64.conf; then
    run_duskwarm "$DISP" 0 -l 40 -g 10
    expect_status 255
    expect_exact "$OUT" "${BANNER}Found 1 screen."$'\n' "standard output"
    expect_exact "$ERR" $'Display 1 has 64 size\nSorry, we only support 8, 10, 11, and 12-bit displays right now.\n' \
        "standard error"
    stop_server
fi

finish
