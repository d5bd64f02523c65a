#!/bin/bash
# The console in foreground mode, driven through a pipe as another program
# would drive it: each command is written, and its reply must arrive in full,
# with the exact text, while the program runs (not when it ends). The ramps are
# read back where a command changes them.
#
# The program runs on libfaketime's clock with TZ=UTC0 and -l 0 -g 0, where on
# 1 January 12:00 is day and 22:00 is night (sunrise 06:00, sunset 18:07).

: "${XSERVER_FIRST:=145}"   # away from the other scripts' displays, for ctest -j
export XSERVER_FIRST
. "$(dirname "$0")/lib.sh"
require_files "$DUSKWARM" "$GAMMAREAD" "$LOADKELVIN"
require_faketime

K2700=ffa957        # 2700 K


# What the program's standard output must hold so far.
TRANSCRIPT=

# Takes the transcript from what the program really wrote, so that one wrong
# reply is reported once and not again by every later check.
resync() {
    TRANSCRIPT=$(cat -- "$OUT"; echo .)
    TRANSCRIPT=${TRANSCRIPT%.}
}

# reply_within SECONDS WHAT: the output grows to the whole TRANSCRIPT within
# SECONDS and is then exactly it. REPLY_MS: the time taken from SENT_US.
reply_within() {
    if wait_until "$1" _out_reaches "${#TRANSCRIPT}"; then
        REPLY_MS=$(( ($(now_us) - SENT_US) / 1000 ))
    else
        REPLY_MS=-1
        fail "no whole reply to $2 within $1 s"
    fi
    expect_exact "$OUT" "$TRANSCRIPT" "standard output after $2"
    cmp -s -- "$OUT" <(printf '%s' "$TRANSCRIPT") || resync
}

# CRTC 0 shows something other than 6500 K.
# shellcheck disable=SC2317  # called through wait_until
left_day() {
    [[ $(crtc_colour 0:0) != "$DAY_K" ]]
}

# ask LINE REPLY [SECONDS]: writes LINE and a newline; the program must answer
# with exactly REPLY and a newline within SECONDS (default 3).
ask() {
    TRANSCRIPT+=$2$'\n'
    SENT_US=$(now_us)
    send "$1"$'\n'
    local shown=${1//$'\n'/\\n}
    reply_within "${3:-3}" "'${shown:0:24}'"
}

case_begin "by day: each command answered at once, with its exact text"
if start_server 1screen-256.conf; then
    FAKE_TIME=$DAY start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
    TRANSCRIPT=$START_TEXT
    expect_output "$TRANSCRIPT" "standard output at start"
    wait_until 3 crtcs_hold "$DAY_K" || fail "6500 K was not on every CRTC within 3 s"

    ask k "Colortemp=3400"
    ask c "Colortemp=6500"
    ask kelvin "Colortemp=3400"
    send $'\n'                 # an empty line: no reply
    ask l "Latitude=0.0"
    ask l=x "Latitude=0.0"     # no number: the query
    ask g "Longitude=0.0"
    # Written at once, so they reach the program in one read.
    ask $'k\nc\nl\ng' $'Colortemp=3400\nColortemp=6500\nLatitude=0.0\nLongitude=0.0'
    # 1500 characters: a piece of 1023, then the rest; both are "k" queries.
    ask "$(printf 'k%.0s' {1..1500})" $'Colortemp=3400\nColortemp=3400'

    # A line typed during the preview's first fade ends it, and is answered
    # then, not after the 10 s the whole preview takes.
    send $'p\n'
    if wait_until 3 left_day; then
        sleep 0.5
        ask k "Colortemp=3400" 2
    else
        fail "the preview did not begin within 3 s"
        resync
    fi
    # The loop then fades from 3400 K back to 6500 K over 20 s; a line cuts
    # that short too.
    ask c "Colortemp=6500" 2
    wait_until 1 crtcs_hold "$DAY_K" || fail "6500 K was not back on every CRTC within 1 s"

    # k= fades from the night temperature to the new one over 2 s, then replies.
    TRANSCRIPT+=$'Colortemp=2700\n'
    SENT_US=$(now_us)
    send $'k=2700\n'
    colours=()
    while ! _out_reaches "${#TRANSCRIPT}" && (( $(now_us) - SENT_US < 6000000 )); do
        c=$(crtc_colour 0:0)
        [[ $c == "$DAY_K" || " ${colours[*]} " == *" $c "* ]] || colours+=("$c")
        sleep 0.02
    done
    reply_within 1 "'k=2700'"
    echo "    reply after ${REPLY_MS} ms, the fade showed: ${colours[*]}"
    (( REPLY_MS >= 1500 )) || fail "k=2700 answered after ${REPLY_MS} ms, before its 2 s fade was over"
    (( ${#colours[@]} >= 3 )) || fail "k=2700 showed only these colours: ${colours[*]}"
    # By day the loop puts 6500 K back and fades from 2700 K; a line cuts that short.
    ask c "Colortemp=6500" 2
    wait_until 1 crtcs_hold "$DAY_K" || fail "6500 K was not back on every CRTC within 1 s"

    ask l=80 "Latitude=65.0"
    ask l=-90 "Latitude=-65.0"
    ask g=-200 "Longitude=-180.0"
    ask z=10001 $'ZIPCode=10001\nLatitude=40.8\nLongitude=-74.0'
    ask l "Latitude=40.8"
    ask g "Longitude=-74.0"
    ask z=12 "ZIPCode=notfound"
    ask l "Latitude=40.8"
    ask k "Colortemp=2700"

    kill -TERM "$PROG_PID"
    if wait_gone 5; then
        expect_status 0
    else
        fail "the program still ran 5 s after SIGTERM"
    fi
    expect_exact "$OUT" "$TRANSCRIPT" "the whole standard output"
    expect_crtcs "6500 K on every CRTC at the end" "$DAY_K" "$CRTCS"
    end_duskwarm
    stop_server
fi

case_begin "at night: k= fades to the new temperature, which stays; a line waits for its newline"
if start_server 1screen-256.conf; then
    FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
    TRANSCRIPT=$START_NIGHT_TEXT
    expect_output "$TRANSCRIPT" "standard output at start"
    if wait_until 10 crtcs_hold "$NIGHT_K"; then
        ask c "Colortemp=3400"
        send "k=27"
        sleep 0.3
        expect_exact "$OUT" "$TRANSCRIPT" "standard output with half a line sent"
        expect_crtcs "half a line changes nothing" "$NIGHT_K" "$CRTCS"
        # The rest of the line: a 2 s fade (0.2 s here), then the reply.
        TRANSCRIPT+=$'Colortemp=2700\n'
        SENT_US=$(now_us)
        send $'00\n'
        reply_within 3 "'k=2700'"
        (( REPLY_MS >= 150 )) || fail "k=2700 answered after ${REPLY_MS} ms, before its fade was over"
        wait_until 1 crtcs_hold "$K2700" || fail "2700 K was not on every CRTC within 1 s"
        sleep 0.3   # several passes: the loop keeps 2700 K, no fade follows
        expect_crtcs "every CRTC holds 2700 K" "$K2700" "$CRTCS"
        ask k=2700 "Colortemp=2700"
        ask c "Colortemp=2700"
        expect_crtcs "every CRTC still holds 2700 K" "$K2700" "$CRTCS"
    else
        fail "3400 K was not on every CRTC within 10 s"
    fi
    kill -TERM "$PROG_PID"
    if wait_gone 5; then
        expect_status 0
    else
        fail "the program still ran 5 s after SIGTERM"
    fi
    expect_crtcs "6500 K on every CRTC at the end" "$DAY_K" "$CRTCS"
    end_duskwarm
    stop_server
fi

finish
