#!/bin/bash
# The program under valgrind's memcheck on a real X server: a start at night
# with the opening fade, console commands (a query, a new night temperature
# with its fade, a preview cut short, the last colour), the loop, and SIGTERM
# with its restore. No invalid access, no use of uninitialised values, no
# block definitely lost; and nothing that grows with time: the same run with
# 3 s and with 10 s of steady loop must end with the same heap.
#
# The program runs on libfaketime's clock (TZ=UTC0, -l 0 -g 0; 22:00 on
# 1 January is night) at x10: the 20 s fades take 2 s, and the loop loads 20
# times a second, so a leak per load shows in a few seconds.

: "${XSERVER_FIRST:=185}"   # away from the other scripts' displays, for ctest -j
export XSERVER_FIRST
. "$(dirname "$0")/lib.sh"
require_files "$DUSKWARM" "$GAMMAREAD" "$LOADKELVIN"
require_faketime
VALGRIND=${VALGRIND:-valgrind}
if ! command -v "$VALGRIND" >/dev/null; then
    echo "this test runs the program under valgrind:" >&2
    echo "  apt-get install valgrind" >&2
    FAILURES=$((FAILURES + 1))
    exit 1
fi

K3000=ffb46b        # 3000 K
SHORT_S=3
LONG_S=10
SLACK_BYTES=32      # what the heap at exit may differ by between the two runs

# shellcheck disable=SC2317  # called through wait_until
colour_is_none_of() {
    [[ " $* " != *" $(crtc_colour 0:0) "* ]]
}

# ask LINE REPLY SECONDS: the program answers LINE with exactly REPLY.
TRANSCRIPT=
ask() {
    TRANSCRIPT+=$2$'\n'
    send "$1"$'\n'
    wait_until "$3" _out_reaches "${#TRANSCRIPT}" || fail "no whole reply to '$1' within $3 s"
    expect_exact "$OUT" "$TRANSCRIPT" "standard output after '$1'"
}

# figure WHAT bytes|blocks: a number from valgrind's report of the last run,
# e.g. figure "in use at exit" bytes. Absent figures count as 0: a report
# with nothing left at exit has no leak summary.
figure() {
    local v
    v=$(grep -aoE "$1: [0-9,]+ bytes in [0-9,]+ blocks" "$VGLOG" | tail -1 |
        awk -v part="$2" '{ gsub(",", ""); print (part == "blocks" ? $(NF-1) : $(NF-4)) }')
    echo "${v:-0}"
}

# Bytes a process has written.
written() {
    local key n
    while read -r key n; do
        [[ $key == wchar: ]] && { echo "$n"; return; }
    done <"/proc/$1/io"
    echo 0
}

# vg_run STEADY_S: one run under valgrind with STEADY_S seconds of steady
# loop. Sets VGLOG, WRITTEN (bytes written in the steady loop) and the figures
# of valgrind's report: IN_USE, IN_BLOCKS, REACHABLE, INDIRECT, POSSIBLE,
# DEFINITE, ALLOCS, ERRORS.
vg_run() {
    local steady=$1 t0 w0 program=$DUSKWARM
    WRITTEN=0
    SEQ=$((SEQ + 1))
    VGLOG=$WORK/valgrind$SEQ.log
    TRANSCRIPT=$START_NIGHT_TEXT
    poison
    t0=$(now_us)
    # start_duskwarm runs whatever DUSKWARM names: valgrind, here.
    DUSKWARM=$VALGRIND FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" \
        --log-file="$VGLOG" --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite --show-leak-kinds=all \
        "$program" -l 0 -g 0 -nofork
    # Valgrind's start-up takes a second or two before the fade's 2 s.
    if wait_until 30 crtcs_hold "$NIGHT_K"; then
        expect_exact "$OUT" "$TRANSCRIPT" "standard output at start"
        ask k "Colortemp=3400" 5
        # Replies after its 2 s fade (0.2 s here).
        ask k=3000 "Colortemp=3000" 5
        wait_until 5 crtcs_hold "$K3000" || fail "3000 K was not on every CRTC within 5 s"
        # The preview leaves 3000 K for 6500 K; a line ends it on 6500 K.
        send $'p\n'
        if wait_until 5 colour_is_not "$K3000"; then
            ask c "Colortemp=6500" 5
        else
            fail "the preview did not begin within 5 s"
        fi
        # The loop loads 3000 K once more, then fades back to it from the
        # 6500 K the preview was cut short on (2 s), then runs steadily.
        wait_until 5 colour_is_none_of "$K3000" "$DAY_K" || fail "the loop did not fade back to 3000 K"
        wait_until 15 crtcs_hold "$K3000" || fail "3000 K was not back on every CRTC within 15 s"
        # Bytes written: a load sends some 25 kB of ramps to the server, far
        # more than anything else the process writes.
        w0=$(written "$PROG_PID")
        sleep "$steady"
        WRITTEN=$(( $(written "$PROG_PID") - w0 ))
        load "$POISON" 1 >/dev/null 2>&1
        wait_until 2 crtcs_hold "$K3000" || fail "the loop did not load 3000 K again within 2 s"
        kill -TERM "$PROG_PID"
        wait_until 5 crtcs_hold "$DAY_K" || fail "SIGTERM: 6500 K was not back within 5 s"
    else
        fail "3400 K was not on every CRTC within 30 s"
        show "$ERR"
    fi
    # The leak check runs at the exit.
    if wait_gone 60; then
        # 99: valgrind found an error.
        expect_status 0
        expect_crtcs "6500 K on every CRTC at the end" "$DAY_K" "$CRTCS"
    else
        fail "the program under valgrind still ran 60 s after SIGTERM"
    fi
    end_duskwarm
    # The report must be about the program itself, not a wrapper.
    grep -aq "Command: $program " "$VGLOG" || { fail "valgrind's report is not about the program"; show_plain "$VGLOG"; }
    ERRORS=$(grep -aoE 'ERROR SUMMARY: [0-9,]+ errors' "$VGLOG" | tail -1 | tr -dc 0-9)
    IN_USE=$(figure "in use at exit" bytes)
    IN_BLOCKS=$(figure "in use at exit" blocks)
    REACHABLE=$(figure "still reachable" bytes)
    INDIRECT=$(figure "indirectly lost" bytes)
    POSSIBLE=$(figure "possibly lost" bytes)
    DEFINITE=$(figure "definitely lost" bytes)
    ALLOCS=$(grep -aoE 'total heap usage: [0-9,]+ allocs' "$VGLOG" | tail -1 | tr -dc 0-9)
    echo "    $(( ($(now_us) - t0) / 1000 )) ms; errors ${ERRORS:-?}; in use at exit $IN_USE bytes in $IN_BLOCKS blocks;" \
         "still reachable $REACHABLE, indirectly lost $INDIRECT, possibly lost $POSSIBLE, definitely lost $DEFINITE;" \
         "$ALLOCS allocations in all; $(( WRITTEN / 1024 )) kB written in ${steady} s of steady loop"
    if [[ $ERRORS != 0 ]]; then
        fail "valgrind reported ${ERRORS:-no summary of} errors"
        grep -a -A12 -E '^==[0-9]+== (Invalid|Conditional|Use of|Syscall param|Mismatched|[0-9,]+ bytes in [0-9,]+ blocks are definitely)' "$VGLOG" |
            head -60 | sed 's/^/    | /'
    fi
    (( DEFINITE == 0 )) || fail "$DEFINITE bytes definitely lost"
}

case_begin "valgrind: start at night, fade, console, loop, SIGTERM; the heap does not grow with time"
if start_server 1screen-256.conf; then
    vg_run "$SHORT_S"
    short=("$IN_USE" "$IN_BLOCKS" "$REACHABLE" "$INDIRECT" "$POSSIBLE" "$WRITTEN")
    vg_run "$LONG_S"
    long=("$IN_USE" "$IN_BLOCKS" "$REACHABLE" "$INDIRECT" "$POSSIBLE" "$WRITTEN")
    names=("in use at exit (bytes)" "in use at exit (blocks)" "still reachable (bytes)"
           "indirectly lost (bytes)" "possibly lost (bytes)")
    for i in 0 1 2 3 4; do
        slack=$SLACK_BYTES
        (( i == 1 )) && slack=0
        if (( long[i] - short[i] > slack )); then
            fail "${names[i]} grew from ${short[i]} after ${SHORT_S} s to ${long[i]} after ${LONG_S} s"
        fi
    done
    # The longer run must really have loaded more often, or the comparison
    # says nothing.
    (( long[5] > short[5] && short[5] > 0 )) ||
        fail "the loop wrote ${short[5]} bytes in ${SHORT_S} s and ${long[5]} bytes in ${LONG_S} s: it did not run on"
    stop_server
fi

finish
