#!/bin/bash
# The program at work on a real X server, its ramps read back while it runs:
# day and night at start, the 20-second fade, the restore of 6500 K on SIGTERM
# wherever the signal finds the program, a signal that does not restore,
# background mode, end of input, and loads through XF86VidMode.
#
# The program runs on libfaketime's clock with TZ=UTC0 and -l 0 -g 0: on
# 1 January the sun rises at 06:00 and sets at 18:07, so 22:00 is night and
# 12:00 is day. A speed factor shortens the fades (x10: 20 s take 2 s) or
# stretches the loop's half-second pause (x0.2: 2.5 s) where a case needs it.
# Ramps are "poisoned" with a temperature the program never shows here, so
# that only a load of its own can put its colour back.

: "${XSERVER_FIRST:=135}"   # away from the other scripts' displays, for ctest -j
export XSERVER_FIRST
. "$(dirname "$0")/lib.sh"
require_files "$DUSKWARM" "$GAMMAREAD" "$LOADKELVIN"
require_faketime

LAST_STEP_K=ffbe7e  # 3300 K: a fade down to 3400 K ends a little below it

VIDMODE=0

# ---- the background child ---------------------------------------------------
# It is not our child, so it cannot be reaped; it is signalled only while it
# still is the program we started, on the server we started it on.
BG_PID=
BG_DISP=

bg_is_ours() {
    [[ -n $BG_PID ]] || return 1
    [[ $(readlink "/proc/$BG_PID/exe" 2>/dev/null) == "$(readlink -f -- "$DUSKWARM")" ]] || return 1
    tr '\0' '\n' <"/proc/$BG_PID/environ" 2>/dev/null | grep -qxF "DISPLAY=$BG_DISP"
}

# shellcheck disable=SC2317  # called through wait_until
bg_gone() {
    ! xserver_alive "$BG_PID"
}

# shellcheck disable=SC2317  # the exit trap
_run_cleanup() {
    local status=$?
    if bg_is_ours; then
        kill -KILL "$BG_PID" 2>/dev/null
    fi
    (exit "$status")
    _e2e_cleanup
}
trap _run_cleanup EXIT

# ---- helpers ----------------------------------------------------------------

# watch_fade FROM TO SECONDS: follows CRTC 0 from the colour FROM until every
# CRTC holds TO. Sets FADE_MS, the time from the first colour other than FROM
# to TO on every CRTC, and FADE_COLOURS, the colours seen in between. Returns
# 1 if TO was not reached in time.
watch_fade() {
    local from=$1 to=$2 end first='' c
    end=$(( $(now_us) + $(secs_us "$3") ))
    FADE_MS=0
    FADE_COLOURS=()
    while (( $(now_us) < end )); do
        c=$(crtc_colour 0:0)
        if [[ $c != "$from" ]]; then
            [[ -n $first ]] || first=$(now_us)
            if [[ $c == "$to" ]] && crtcs_hold "$to"; then
                FADE_MS=$(( ($(now_us) - first) / 1000 ))
                return 0
            fi
            if [[ $c != "$to" && " ${FADE_COLOURS[*]} " != *" $c "* ]]; then
                FADE_COLOURS+=("$c")
            fi
        fi
        sleep 0.01
    done
    return 1
}

# ---- cases ------------------------------------------------------------------

if ! start_server 1screen-256.conf; then
    finish
fi

case_begin "started at night, input at its end: the night line, a whole fade, then 3400 K; SIGHUP leaves it"
poison
FAKE_TIME="$NIGHT x10" PROG_STDIN=/dev/null start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
if watch_fade "$POISON_K" "$NIGHT_K" 10; then
    echo "    fade seen for ${FADE_MS} ms, through ${#FADE_COLOURS[@]} colours"
    # 20 s of fake time are 2 s; end of input must not cut the fade short.
    (( FADE_MS >= 1000 )) || fail "the fade took only ${FADE_MS} ms, want about 2000"
    (( ${#FADE_COLOURS[@]} >= 3 )) || fail "the fade showed only: ${FADE_COLOURS[*]}"
else
    fail "3400 K was not on every CRTC within 10 s"
    gammaread info | sed 's/^/    | /'
fi
sleep 0.3   # several passes of the loop: its own load, not the fade's
expect_crtcs "after the fade every CRTC holds exactly 3400 K" "$NIGHT_K" "$CRTCS"
expect_output "$START_NIGHT_TEXT" "standard output"
expect_exact "$ERR" $'Display 1 has 256 size\n' "standard error"
kill -HUP "$PROG_PID"
if wait_gone 3; then
    expect_status 129
else
    fail "the program still ran 3 s after SIGHUP"
fi
expect_crtcs "SIGHUP did not restore: every CRTC still holds 3400 K" "$NIGHT_K" "$CRTCS"
end_duskwarm

case_begin "started by day: 6500 K, no night line; SIGTERM in the loop's pause restores at once"
poison
# At x0.2 the loop's pause lasts 2.5 s: a restore that waited for its end
# would come far too late.
FAKE_TIME="$DAY x0.2" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
wait_until 5 crtcs_hold "$DAY_K" || fail "6500 K was not on every CRTC within 5 s"
expect_output "$START_TEXT" "standard output"
expect_exact "$ERR" $'Display 1 has 256 size\n' "standard error"
poison
# The next load of 6500 K marks the start of a pause.
if wait_until 4 crtcs_hold "$DAY_K"; then
    poison
    expect_restore "in the loop's pause" "$PROG_PID" crtcs_hold "$DAY_K"
else
    fail "the loop did not load 6500 K again within 4 s"
fi
end_duskwarm

case_begin "SIGTERM during the 20-second fade"
poison
FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
if wait_until 5 colour_is_not "$POISON_K"; then
    sleep 0.5   # a quarter into the fade; 1.5 s of it to go
    if colour_is "$POISON_K" "$DAY_K" "$NIGHT_K" "$LAST_STEP_K"; then
        fail "no fade under way: CRTC 0 holds $(crtc_colour 0:0)"
    fi
    expect_restore "during a fade" "$PROG_PID" crtcs_hold "$DAY_K"
else
    fail "the fade did not begin within 5 s"
fi
end_duskwarm

case_begin "SIGTERM while a partial console line waits for its newline"
FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
if wait_until 10 crtcs_hold "$NIGHT_K"; then
    send "k=2700"
    sleep 0.3
    # The loop goes on, and the partial line is not taken for a command.
    poison
    wait_until 1 crtcs_hold "$NIGHT_K" ||
        fail "with a partial line waiting the loop did not load 3400 K again within 1 s"
    expect_exact "$OUT" "$START_NIGHT_TEXT" "standard output (no reply to a partial line)"
    expect_restore "with a partial line waiting" "$PROG_PID" crtcs_hold "$DAY_K"
else
    fail "3400 K was not on every CRTC within 10 s"
fi
end_duskwarm

case_begin "SIGTERM during the preview's 2-second hold"
FAKE_TIME="$DAY" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
if wait_until 3 crtcs_hold "$DAY_K"; then
    send $'p\n'
    # The preview fades to 3400 K in 4 s, the last step a little below it.
    if wait_until 8 colour_is "$LAST_STEP_K" "$NIGHT_K"; then
        sleep 0.5   # into the hold, with 1.5 s of it to go
        colour=$(crtc_colour 0:0)
        if ! colour_is "$LAST_STEP_K" "$NIGHT_K" || ! crtcs_hold "$colour"; then
            fail "the preview is not holding 3400 K: CRTC 0 holds $colour"
        fi
        expect_restore "during the preview's hold" "$PROG_PID" crtcs_hold "$DAY_K"
    else
        fail "the preview did not reach 3400 K within 8 s"
    fi
else
    fail "6500 K was not on every CRTC within 3 s"
fi
end_duskwarm

case_begin "background: the parent names a live child and ends; the child runs, SIGTERM restores"
poison
FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}"
if wait_gone 5; then
    expect_status 0
else
    fail "the parent still ran 5 s after start"
fi
line=$(grep -a "^Going to background" "$OUT")
if [[ $line =~ ^"Going to background: 'kill "([1-9][0-9]*)"' to turn off."$ ]]; then
    BG_PID=${BASH_REMATCH[1]}
    BG_DISP=$DISP
    # Start-up text once, though standard output is a file the child shares.
    expect_exact "$OUT" "${START_NIGHT_TEXT}${line}"$'\n\n' "standard output"
    if bg_is_ours && xserver_alive "$BG_PID"; then
        wait_until 10 crtcs_hold "$NIGHT_K" || fail "the child did not bring 3400 K within 10 s"
        kill -TERM "$BG_PID"
        if wait_until "$RESTORE_S" crtcs_hold "$DAY_K"; then
            echo "    6500 K back ${WAITED_MS} ms after SIGTERM to the child"
        else
            fail "SIGTERM to the child: 6500 K was not back within $RESTORE_S s"
        fi
        if wait_until 5 bg_gone; then
            BG_PID=
            expect_crtcs "6500 K on every CRTC after the child ended" "$DAY_K" "$CRTCS"
            # Anything the child still held from start-up would be out now.
            expect_exact "$OUT" "${START_NIGHT_TEXT}${line}"$'\n\n' "standard output after the child ended"
        else
            fail "the child still ran 5 s after SIGTERM"
        fi
    else
        fail "process $BG_PID is not a running duskwarm"
    fi
else
    fail "no line naming the child"
    show "$OUT"
fi
end_duskwarm

case_begin "end of input: the loop goes on at twice a second, at near-zero CPU; SIGINT restores"
FAKE_TIME="$DAY" PROG_STDIN=/dev/null start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
if wait_until 3 crtcs_hold "$DAY_K"; then
    read -r cpu0 _ <"/proc/$PROG_PID/schedstat"
    t0=$(now_us)
    sleep 2.5
    read -r cpu1 _ <"/proc/$PROG_PID/schedstat"
    t1=$(now_us)
    # Hundredths of a per cent of one core: ns of CPU per us of wall time, x10.
    load_cpu=$(( (cpu1 - cpu0) * 10 / (t1 - t0) ))
    printf '    CPU %d.%02d%% of one core over %d ms\n' $((load_cpu / 100)) $((load_cpu % 100)) $(( (t1 - t0) / 1000 ))
    (( load_cpu < 500 )) || fail "the program used more than 5% of a core at end of input"
    for round in 1 2 3; do
        poison
        wait_until 0.7 crtcs_hold "$DAY_K" ||
            fail "6500 K was not loaded again within 0.7 s (round $round)"
    done
    expect_exact "$OUT" "$START_TEXT" "standard output"
    # SIGINT restores as SIGTERM does.
    SIG=INT expect_restore "at end of input" "$PROG_PID" crtcs_hold "$DAY_K"
else
    fail "6500 K was not on every CRTC within 3 s"
fi
end_duskwarm
stop_server

case_begin "-r 0: the screen's XF86VidMode ramp is loaded, the CRTCs are left alone"
if start_server 1screen-256.conf; then
    FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -r "$VIDMODE" -nofork
    if wait_until 10 gammaread check-vidmode 0 "$NIGHT_K"; then
        sleep 0.3
        expect_vidmode "XF86VidMode holds 3400 K" 0 "$NIGHT_K"
        expect_crtcs "every CRTC is as the server started" initial "$CRTCS"
        expect_restore "with -r 0" "$PROG_PID" gammaread check-vidmode 0 "$DAY_K"
        expect_crtcs "every CRTC is still as the server started" initial "$CRTCS"
    else
        fail "XF86VidMode did not hold 3400 K within 10 s"
        gammaread info | sed 's/^/    | /'
    fi
    end_duskwarm
    stop_server
fi

finish
