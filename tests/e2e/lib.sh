# shellcheck shell=bash
# Shared helpers for the end-to-end tests; sourced by each tests/e2e/test_*.sh.
#
# Each script starts its own X servers on free display numbers, runs the
# program or the tools against them, and stops every server it started by
# process id when it ends, whether it passes, fails or is interrupted.
#
# Paths come from the environment (CTest sets them):
#   DUSKWARM     the program           (default: SOURCE_DIR/build/duskwarm)
#   GAMMAREAD    the readback tool     (default: SOURCE_DIR/build/tests/tools/gammaread)
#   LOADKELVIN   the display-code loader (default: SOURCE_DIR/build/tests/tools/loadkelvin)
#   SOURCE_DIR   the source tree       (default: found from this file)
# Outputs and server logs go to a fresh directory under ${TMPDIR:-/tmp}; it is
# removed when every check passed and kept (and named) otherwise.

set -u

SOURCE_DIR=${SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
DUSKWARM=${DUSKWARM:-$SOURCE_DIR/build/duskwarm}
GAMMAREAD=${GAMMAREAD:-$SOURCE_DIR/build/tests/tools/gammaread}
LOADKELVIN=${LOADKELVIN:-$SOURCE_DIR/build/tests/tools/loadkelvin}
CONFS=$SOURCE_DIR/tests/xorg

. "$SOURCE_DIR/scripts/xserver"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/duskwarm-e2e.XXXXXX") || exit 1
export XSERVER_LOGDIR=$WORK/logs

SERVERS=()       # process ids of the servers this script started and has not stopped
PROG_PID=        # the program while run_duskwarm has it running
HOLD_PID=        # the loader while hold_load keeps it waiting
FAILURES=0
CASES=0
SEQ=0

# The script's own standard output: a trap can fire inside a function whose
# output is redirected to a file, and its words must still be seen.
exec {REPORT_FD}>&1

_e2e_cleanup() {
    local status=$? pid
    # Our own unreaped children: their ids cannot have been reused.
    for pid in $PROG_PID $HOLD_PID $XSERVER_STARTING; do
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    for pid in "${SERVERS[@]}"; do
        xserver_stop "$pid"
    done
    if (( FAILURES == 0 && status == 0 )); then
        rm -rf -- "$WORK"
    else
        echo "outputs and server logs kept in $WORK" >&"$REPORT_FD"
    fi
}
_e2e_signalled() {
    echo "stopped by $1" >&"$REPORT_FD"
    FAILURES=$((FAILURES + 1))
    exit "$2"
}
trap _e2e_cleanup EXIT
trap '_e2e_signalled SIGINT 130' INT
trap '_e2e_signalled SIGTERM 143' TERM
trap '_e2e_signalled SIGHUP 129' HUP

# The tools must exist before any server is worth starting.
require_files() {
    local f
    for f in "$@"; do
        if [[ ! -x $f ]]; then
            echo "missing executable $f (build the project first)" >&2
            FAILURES=$((FAILURES + 1))
            exit 1
        fi
    done
    if [[ ! -x $XORG || ! -x $XVFB || ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]]; then
        echo "the end-to-end tests need Xorg, its dummy video driver and Xvfb:" >&2
        echo "  apt-get install xserver-xorg-core xserver-xorg-video-dummy xvfb" >&2
        FAILURES=$((FAILURES + 1))
        exit 1
    fi
}

# ---- reporting --------------------------------------------------------------

CASE_NAME=
case_begin() {
    CASE_NAME=$1
    CASES=$((CASES + 1))
    echo "--- $CASE_NAME"
}

fail() {
    FAILURES=$((FAILURES + 1))
    echo "FAIL [$CASE_NAME]: $*"
}

# Ends the script with status 1 if any check failed.
finish() {
    if (( FAILURES > 0 )); then
        echo "$FAILURES check(s) failed in $CASES case(s)"
        exit 1
    fi
    echo "all $CASES cases passed"
    exit 0
}

# Shows a file so that control characters and a missing last newline are visible.
show() {
    cat -A -- "$1" | sed 's/^/    | /'
    [[ -s $1 ]] || echo "    (empty)"
}

# Shows a tool's report as it is.
show_plain() {
    sed 's/^/    | /' -- "$1"
}

# ---- servers ----------------------------------------------------------------

# start_server CONF|xvfb [SCREENS]: CONF is a file name in tests/xorg. Sets
# DISP and SPID. Returns 1 (after counting a failure) if no server came up.
start_server() {
    local what=$1
    [[ $what == xvfb ]] || what=$CONFS/$what
    if ! xserver_start "$what" "${@:2}"; then
        fail "could not start an X server ($1)"
        return 1
    fi
    DISP=$XSERVER_DISPLAY
    SPID=$XSERVER_PID
    SERVERS+=("$SPID")
}

# Stops the server of the last start_server.
stop_server() {
    local keep=() p
    xserver_stop "$SPID"
    for p in "${SERVERS[@]}"; do
        [[ $p == "$SPID" ]] || keep+=("$p")
    done
    SERVERS=("${keep[@]}")
}

# A display number nobody serves: the program must fail to open it.
free_display() {
    local n
    for ((n = 190; n < 400; n++)); do
        xserver_busy "$n" || { echo ":$n"; return 0; }
    done
    return 1
}

# ---- the program ------------------------------------------------------------

# run_duskwarm DISPLAY SIZE_LINES ARGS...
#   Runs the program with DISPLAY (the empty string: DISPLAY unset) and TZ
#   (default UTC0), its standard input an open pipe that never has data, so a
#   foreground run waits instead of seeing end of input.
#   It is given RUN_TIMEOUT seconds (default 5) to end by itself. With
#   SIZE_LINES > 0 it may instead keep running once standard error holds that
#   many lines (screen discovery is over); it is then stopped with SIGTERM.
#   Sets OUT and ERR (files with its output), STATUS (its exit status) and
#   STOPPED (1 when it had to be stopped). A run that hangs counts as a failure.
run_duskwarm() {
    local display=$1 want_lines=$2
    shift 2
    local ticks=$(( ${RUN_TIMEOUT:-5} * 50 )) t fifo hold
    SEQ=$((SEQ + 1))
    OUT=$WORK/run$SEQ.out
    ERR=$WORK/run$SEQ.err
    fifo=$WORK/run$SEQ.in
    mkfifo "$fifo" || return 1
    : >"$OUT"
    : >"$ERR"
    exec {hold}<>"$fifo"
    echo "    \$ DISPLAY=${display:-(unset)} TZ=${TZ_RUN:-UTC0} duskwarm $*"
    if [[ -n $display ]]; then
        DISPLAY=$display TZ=${TZ_RUN:-UTC0} "$DUSKWARM" "$@" <"$fifo" >"$OUT" 2>"$ERR" {hold}>&- &
    else
        env -u DISPLAY TZ="${TZ_RUN:-UTC0}" "$DUSKWARM" "$@" <"$fifo" >"$OUT" 2>"$ERR" {hold}>&- &
    fi
    PROG_PID=$!
    STOPPED=0
    for ((t = 0; t < ticks; t++)); do
        xserver_alive "$PROG_PID" || break
        if (( want_lines > 0 )) && (( $(wc -l <"$ERR") >= want_lines )); then
            # Discovery is over; a moment more lets a start-up that ends
            # here finish on its own.
            sleep 0.1
            break
        fi
        sleep 0.02
    done
    if xserver_alive "$PROG_PID"; then
        STOPPED=1
        kill -TERM "$PROG_PID" 2>/dev/null
        for ((t = 0; t < 150; t++)); do
            xserver_alive "$PROG_PID" || break
            sleep 0.02
        done
        xserver_alive "$PROG_PID" && kill -KILL "$PROG_PID" 2>/dev/null
    fi
    wait "$PROG_PID"
    STATUS=$?
    PROG_PID=
    exec {hold}>&-
    rm -f -- "$fifo"
    if (( STOPPED )) && (( want_lines == 0 || $(wc -l <"$ERR") < want_lines )); then
        fail "the program did not get through start-up within ${RUN_TIMEOUT:-5} s"
    fi
    return 0
}

# shellcheck disable=SC2034  # used by the test scripts
# The start of every run's standard output: clear screen, cursor home, banner.
BANNER=$'\e[2J\e[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\n'
BANNER+=$'This will only work if you\'re running X on console.\n\n'
# What a run without -g prints under TZ=UTC0.
# shellcheck disable=SC2034
GUESS_UTC=$'Guessing your longitude is 0.0 based on your timezone\nSpecify it with -g to make things better.\n'

# ---- checks -----------------------------------------------------------------

expect_status() {
    if [[ $STATUS != "$1" ]]; then
        fail "exit status $STATUS, want $1"
    fi
}

# A start that succeeded: it either ended by itself with status 0, or was
# still running and ended on our SIGTERM (0 with a handler, 143 without).
# Anything else, a crash above all, is a failure.
expect_clean_run() {
    if (( STOPPED )); then
        [[ $STATUS == 0 || $STATUS == 143 ]] || fail "after SIGTERM the exit status was $STATUS"
    else
        [[ $STATUS == 0 ]] || fail "exit status $STATUS, want 0"
    fi
}

# expect_exact FILE TEXT WHAT: the file holds exactly TEXT, byte for byte.
expect_exact() {
    local want=$WORK/want$SEQ
    printf '%s' "$2" >"$want"
    if ! cmp -s -- "$want" "$1"; then
        fail "$3 differs"
        echo "  want:"; show "$want"
        echo "  got:"; show "$1"
    fi
}

# expect_prefix FILE TEXT WHAT: the file begins with exactly TEXT; whatever
# follows is left to later checks.
expect_prefix() {
    local want=$WORK/want$SEQ len
    printf '%s' "$2" >"$want"
    len=$(wc -c <"$want")
    if ! head -c "$len" -- "$1" | cmp -s -- "$want" -; then
        fail "$3 does not begin as it should"
        echo "  want at the start:"; show "$want"
        echo "  got:"; show "$1"
    fi
}

# expect_cmd WHAT CMD...: CMD exits 0; its output is shown if not.
# Leaves the output in CMD_OUT.
expect_cmd() {
    local what=$1 rc
    shift
    SEQ=$((SEQ + 1))
    CMD_OUT=$WORK/cmd$SEQ.out
    "$@" >"$CMD_OUT" 2>&1
    rc=$?
    if (( rc != 0 )); then
        fail "$what (status $rc from: ${*##*/})"
        show_plain "$CMD_OUT"
    fi
    return $rc
}

# expect_cmd_status WANT WHAT CMD...: CMD exits with status WANT.
expect_cmd_status() {
    local want=$1 what=$2 rc
    shift 2
    SEQ=$((SEQ + 1))
    CMD_OUT=$WORK/cmd$SEQ.out
    "$@" >"$CMD_OUT" 2>&1
    rc=$?
    if (( rc != want )); then
        fail "$what (status $rc, want $want)"
        show_plain "$CMD_OUT"
    fi
}

# The readback tool, on the display of the current server.
gammaread() {
    "$GAMMAREAD" -d "$DISP" "$@"
}

# load KELVIN RANDR: loads through the program's display code and waits
# until the server has processed the load.
load() {
    DISPLAY=$DISP "$LOADKELVIN" "$1" "$2"
}

# hold_load KELVIN RANDR: loads through the display code, which must send the
# requests on its own, and keeps the loader's connection open (no sync, no
# exit) until release_load. Returns 1 if the loader never got that far.
hold_load() {
    local fifo t
    SEQ=$((SEQ + 1))
    fifo=$WORK/hold$SEQ.in
    CMD_OUT=$WORK/hold$SEQ.out
    mkfifo "$fifo" || return 1
    : >"$CMD_OUT"
    exec {HOLD_FD}<>"$fifo"
    DISPLAY=$DISP "$LOADKELVIN" "$1" "$2" hold <"$fifo" >"$CMD_OUT" 2>&1 {HOLD_FD}>&- &
    HOLD_PID=$!
    for ((t = 0; t < 250; t++)); do
        grep -qx loaded "$CMD_OUT" && return 0
        xserver_alive "$HOLD_PID" || break
        sleep 0.02
    done
    fail "the loader did not get through its load of $1 K"
    show_plain "$CMD_OUT"
    release_load
    return 1
}

release_load() {
    exec {HOLD_FD}>&-
    wait "$HOLD_PID"
    HOLD_PID=
}

# expect_crtcs WHAT [-s SCREEN] [-n COUNT] COLOUR TOTAL: the chosen CRTCs, TOTAL
# of them, hold the ramp of COLOUR exactly.
expect_crtcs() {
    local what=$1 total=${*: -1} colour=${*: -2:1}
    local args=("${@:2:$#-2}")
    expect_cmd "$what" gammaread check-crtcs "${args[@]}" || return 1
    if [[ $(cat "$CMD_OUT") != "all $total CRTCs hold $colour" ]]; then
        fail "$what: expected $total CRTCs to be checked"
        show_plain "$CMD_OUT"
    fi
}

expect_vidmode() {
    expect_cmd "$1" gammaread check-vidmode "$2" "$3"
}

# ---- the program left running -----------------------------------------------
# For cases that watch the program at work: it is started, left running while
# the script talks to it and reads the ramps back, and then signalled.

FAKETIME_LIB=${FAKETIME_LIB:-/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1}
PROG_IN=         # descriptor of the pipe that feeds the program's standard input

require_faketime() {
    if [[ ! -r $FAKETIME_LIB ]]; then
        echo "these cases set the program's clock with libfaketime ($FAKETIME_LIB):" >&2
        echo "  apt-get install libfaketime" >&2
        FAILURES=$((FAILURES + 1))
        exit 1
    fi
}

# start_duskwarm DISPLAY ARGS...
#   Starts the program and leaves it running as PROG_PID, with DISPLAY and TZ
#   (TZ_RUN, default UTC0). Standard input is a pipe that `send` writes to,
#   kept open until end_duskwarm, or the file PROG_STDIN names (/dev/null for
#   end of input). Sets OUT and ERR.
#   FAKE_TIME, e.g. '2026-01-01 22:00:00 x10', runs the program on
#   libfaketime's clock: it starts at that local time (read in TZ) and runs at
#   the given speed. The speed scales the wall clock, the monotonic clock and
#   every sleep and poll timeout alike, so the program's waits stay consistent
#   with its clocks: x10 makes a 20 s fade take 2 s, x0.2 a 0.5 s pause 2.5 s.
#   (Leaving the monotonic clock real, FAKETIME_DONT_FAKE_MONOTONIC=1, would
#   make a sped-up program spin: its poll timeouts shrink, its deadlines not.)
start_duskwarm() {
    local display=$1 fifo
    shift
    local envs=(DISPLAY="$display" TZ="${TZ_RUN:-UTC0}")
    if [[ -n ${FAKE_TIME:-} ]]; then
        envs+=(LD_PRELOAD="$FAKETIME_LIB${LD_PRELOAD:+:$LD_PRELOAD}" FAKETIME="@$FAKE_TIME")
    fi
    SEQ=$((SEQ + 1))
    OUT=$WORK/run$SEQ.out
    ERR=$WORK/run$SEQ.err
    : >"$OUT"
    : >"$ERR"
    local shown="DISPLAY=$display TZ=${TZ_RUN:-UTC0}"
    [[ -n ${FAKE_TIME:-} ]] && shown+=" FAKETIME=\"@$FAKE_TIME\""
    shown+=" duskwarm $*"
    [[ -n ${PROG_STDIN:-} ]] && shown+=" <$PROG_STDIN"
    echo "    \$ $shown"
    if [[ -n ${PROG_STDIN:-} ]]; then
        env "${envs[@]}" "$DUSKWARM" "$@" <"$PROG_STDIN" >"$OUT" 2>"$ERR" &
    else
        fifo=$WORK/run$SEQ.in
        mkfifo "$fifo" || return 1
        # Held open for reading too, so a write never meets a pipe without
        # readers, whatever became of the program.
        exec {PROG_IN}<>"$fifo"
        env "${envs[@]}" "$DUSKWARM" "$@" <"$fifo" >"$OUT" 2>"$ERR" {PROG_IN}>&- &
    fi
    PROG_PID=$!
}

# send TEXT: writes TEXT, exactly, to the running program's standard input.
send() {
    printf '%s' "$1" >&"$PROG_IN"
}

# wait_gone SECONDS: waits for the running program to end; then sets STATUS
# and returns 0. Returns 1 if it still runs after SECONDS.
wait_gone() {
    local end=$(( $(now_us) + $(secs_us "$1") ))
    while xserver_alive "$PROG_PID"; do
        (( $(now_us) < end )) || return 1
        sleep 0.01
    done
    wait "$PROG_PID"
    STATUS=$?
    PROG_PID=
    return 0
}

# end_duskwarm: kills the program if it still runs and closes its input.
end_duskwarm() {
    if [[ -n $PROG_PID ]]; then
        kill -KILL "$PROG_PID" 2>/dev/null
        wait "$PROG_PID" 2>/dev/null
        PROG_PID=
    fi
    if [[ -n $PROG_IN ]]; then
        exec {PROG_IN}>&-
        PROG_IN=
    fi
}

# ---- timing and polling -----------------------------------------------------

# The wall clock in microseconds.
now_us() {
    echo "${EPOCHREALTIME//[!0-9]/}"
}

# secs_us SECONDS: a decimal number of seconds (2, 0.5) in microseconds.
secs_us() {
    local whole=${1%%.*} frac=
    [[ $1 == *.* ]] && frac=${1#*.}
    frac=${frac}000000
    echo $(( ${whole:-0} * 1000000 + 10#${frac:0:6} ))
}

# wait_until SECONDS CMD...: runs CMD (quietly) until it succeeds, for at most
# SECONDS. Returns 0 as soon as it succeeds, 1 when time ran out. WAITED_MS
# holds the milliseconds from the call to the success.
# shellcheck disable=SC2034  # WAITED_MS is read by the test scripts
wait_until() {
    local start end
    start=$(now_us)
    end=$(( start + $(secs_us "$1") ))
    shift
    while :; do
        if "$@" >/dev/null 2>&1; then
            WAITED_MS=$(( ($(now_us) - start) / 1000 ))
            return 0
        fi
        (( $(now_us) < end )) || return 1
        sleep 0.01
    done
}

# crtcs_hold COLOUR: every CRTC of the current server holds COLOUR's ramp.
crtcs_hold() {
    gammaread check-crtcs "$1" >/dev/null 2>&1
}

# crtc_colour [SCREEN:INDEX]: the colour of one CRTC (default 0:0) as
# gammaread names it: RRGGBB, "initial", or whatever else it says of the ramp.
crtc_colour() {
    gammaread info | awk -v c="${1:-0:0}" '$1 == "crtc" && $2 == c { print $10 }'
}

# expect_output TEXT WHAT: the running program's standard output comes to
# hold exactly TEXT, byte for byte, within 3 s (it must not wait for the
# process to end: the program flushes what it has said).
expect_output() {
    wait_until 3 _out_reaches "${#1}"
    expect_exact "$OUT" "$1" "$2"
}
_out_reaches() {
    (( $(stat -c %s -- "$OUT") >= $1 ))
}

# ---- the usual scene ---------------------------------------------------------
# The program runs with TZ=UTC0 and -l 0 -g 0 on a one-screen server: on
# 1 January the sun rises at 06:00 and sets at 18:07, so 22:00 is night and
# 12:00 is day. Ramps are "poisoned" with a temperature the program never
# shows here, so that only a load of its own can put its colour back.

# shellcheck disable=SC2034  # used by the test scripts
{
NIGHT='2026-01-01 22:00:00'
DAY='2026-01-01 12:00:00'
DAY_K=fff9fd        # 6500 K: by day, and what SIGTERM restores
NIGHT_K=ffc184      # 3400 K, the default night temperature
POISON=2000         # a temperature the program never shows here...
POISON_K=ff8912     # ...and its colour
CRTCS=16            # on the one-screen server
LOCATION=(-l 0 -g 0)
START_TEXT="${BANNER}Found 1 screen."$'\n'
START_TEXT+=$'Your location (lat, long) is 0.0, 0.0\n\nYour night-time color temperature is 3400\n'
START_NIGHT_TEXT="${START_TEXT}It's night time. Your screen is changing now."$'\n'
}
: "${RESTORE_S:=0.5}"   # from SIGTERM to 6500 K on every CRTC

# Loads the poison through RandR.
poison() {
    load "$POISON" 1 >/dev/null 2>&1 || fail "could not load $POISON K with the loader"
}

# colour_is COLOUR...: CRTC 0 holds one of the colours.
colour_is() {
    local c
    c=$(crtc_colour 0:0)
    [[ " $* " == *" $c "* ]]
}

# shellcheck disable=SC2317  # called through wait_until
colour_is_not() {
    ! colour_is "$@"
}

# expect_restore WHAT PID CHECK...: sends SIGTERM (or the signal SIG names)
# to PID; CHECK (a command) must find 6500 K within RESTORE_S, the run
# (PROG_PID) must end with status 0, and CHECK must still hold after it ended.
expect_restore() {
    local when="${SIG:-TERM} $1" pid=$2
    shift 2
    kill -s "${SIG:-TERM}" "$pid"
    if wait_until "$RESTORE_S" "$@"; then
        echo "    6500 K back ${WAITED_MS} ms after SIG$when"
    else
        fail "SIG$when: 6500 K was not back within $RESTORE_S s"
        gammaread info | sed 's/^/    | /'
    fi
    if wait_gone 5; then
        expect_status 0
        "$@" >/dev/null 2>&1 || fail "SIG$when: 6500 K was gone after the program ended"
    else
        fail "SIG$when: the program still ran 5 s later"
    fi
    end_duskwarm
}
