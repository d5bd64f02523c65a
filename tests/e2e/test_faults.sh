#!/bin/bash
# Faults on real X servers, with the ramps read back:
#   - the X server killed (SIGKILL, SIGTERM) while the program sleeps in its
#     loop and while it fades: the program ends promptly, by Xlib's handling of
#     a lost connection, without spinning or hanging;
#   - standard input closed, and a terminal that is hung up under the
#     program: it goes on loading, and SIGTERM still restores;
#   - 50 SIGTERMs at random moments of a run (its first loads, a fade, the
#     loop's sleep by night and by day, each part of a console preview): every
#     one ends with status 0 and 6500 K on every CRTC;
#   - a server with 3 screens, 48 CRTCs for 32 slots: the first 32 CRTCs are
#     driven, the 16 beyond them keep the server's own ramps.
#
# Where the program's clock matters it runs on libfaketime's, with TZ=UTC0 and
# -l 0 -g 0: on 1 January the sun rises at 06:00 and sets at 18:07, so 22:00
# is night and 12:00 day. x10 makes the night's opening fade last 2 s.
# Ramps are "poisoned" with 2000 K, a colour the program never shows here, so
# that only a load of its own can put its colour back.
#
# SEED=N repeats the random moments of an earlier run of the SIGTERM series.

: "${XSERVER_FIRST:=170}"   # away from the other scripts' displays, for ctest -j
export XSERVER_FIRST
. "$(dirname "$0")/lib.sh"
require_files "$DUSKWARM" "$GAMMAREAD" "$LOADKELVIN"
require_faketime
if ! command -v python3 >/dev/null; then
    echo "the terminal cases run the program on a pseudo-terminal with python3:" >&2
    echo "  apt-get install python3" >&2
    FAILURES=$((FAILURES + 1))
    exit 1
fi
TERMINAL=$SOURCE_DIR/tests/e2e/terminal.py

K2700=ffa957        # 2700 K
RESTORE_S=1         # from SIGTERM to 6500 K on every CRTC (it takes ~10 ms)
ENDS_S=2            # from the server's death to the program's end

# ---- helpers ----------------------------------------------------------------

# shellcheck disable=SC2317  # called through wait_until
server_gone() {
    ! xserver_alive "$SPID"
}

# CPU time a process has used, in ns.
cpu_ns() {
    local ns _
    read -r ns _ <"/proc/$1/schedstat" 2>/dev/null || ns=0
    echo "$ns"
}

# The SIGTERM handler is in place: until then a SIGTERM ends the program
# without a restore, as it would end any program that is still starting.
# shellcheck disable=SC2317  # called through wait_until
handlers_in() {
    local key mask
    while read -r key mask; do
        [[ $key == SigCgt: ]] && (( 16#$mask & (1 << 14) )) && return 0
    done <"/proc/$1/status"
    return 1
}

ms_to_s() {
    printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000))
}

# loop_goes_on COLOUR ROUNDS: each time the ramps are poisoned, the loop puts
# COLOUR back on every CRTC within 0.7 s (its half-second pause and a load).
loop_goes_on() {
    local round
    for ((round = 1; round <= $2; round++)); do
        poison
        if ! wait_until 0.7 crtcs_hold "$1"; then
            fail "$1 was not loaded again within 0.7 s (round $round)"
            return 1
        fi
    done
    echo "    $2 times poisoned, $1 back each time"
}

# cpu_share PID SECONDS: hundredths of a per cent of one core PID used over
# SECONDS (into CPU_SHARE).
cpu_share() {
    local c0 c1 t0 t1
    c0=$(cpu_ns "$1")
    t0=$(now_us)
    sleep "$2"
    c1=$(cpu_ns "$1")
    t1=$(now_us)
    CPU_SHARE=$(( (c1 - c0) * 10 / (t1 - t0) ))
}

show_share() {
    printf '%d.%02d%%' $(($1 / 100)) $(($1 % 100))
}

# ---- the X server dies ------------------------------------------------------
# The program learns of it at its next load: at most the loop's half second
# later, at once in a fade. Xlib's handler for a lost connection then ends
# the process with status 1 and a line naming the display.

server_dies() {
    local how=$1 when=$2 c t_kill t_dead cpu0 cpu_last gone_ms cpu_ms
    case_begin "the X server gets SIG$how while the program ${when}: the program ends promptly"
    start_server 1screen-256.conf || return
    if [[ $when == sleeps ]]; then
        FAKE_TIME=$DAY start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
        # A load takes a millisecond of each half second: a moment after the
        # first one, the program is all but surely in its pause.
        wait_until 5 crtcs_hold "$DAY_K" || fail "6500 K was not on every CRTC within 5 s"
        sleep 0.7
    else
        # x1: the fade lasts 20 s, and loads every 20 ms.
        FAKE_TIME=$NIGHT start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
        wait_until 5 colour_is_not initial || fail "the fade did not begin within 5 s"
        sleep 1
        c=$(crtc_colour 0:0)
        [[ $c == initial || $c == "$DAY_K" || $c == "$NIGHT_K" ]] &&
            fail "no fade under way: CRTC 0 holds $c"
    fi
    if ! xserver_alive "$PROG_PID"; then
        fail "the program had ended before the server was killed"
        end_duskwarm
        stop_server
        return
    fi
    cpu0=$(cpu_ns "$PROG_PID")
    t_kill=$(now_us)
    # Quiet, and reaped at once: bash has a word to say about a child that
    # dies of a signal.
    {
        kill -s "$how" "$SPID"
        wait_until 5 server_gone && wait "$SPID"
    } 2>/dev/null
    t_dead=$(now_us)
    xserver_alive "$SPID" && fail "the server still ran 5 s after SIG$how"
    stop_server
    # Sampled while it lives: what it used after the server's death.
    cpu_last=$cpu0
    while xserver_alive "$PROG_PID" && (( $(now_us) - t_dead < ENDS_S * 1000000 )); do
        cpu_last=$(cpu_ns "$PROG_PID")
        sleep 0.01
    done
    if wait_gone 0; then
        gone_ms=$(( ($(now_us) - t_dead) / 1000 ))
        cpu_ms=$(( (cpu_last - cpu0) / 1000000 ))
        echo "    server gone $(( (t_dead - t_kill) / 1000 )) ms after SIG$how; program gone ${gone_ms} ms later, status $STATUS, ${cpu_ms} ms of CPU"
        # A crash or SIGPIPE would show as a status above 128.
        expect_status 1
        grep -aqF "$DISP" "$ERR" || { fail "standard error does not name the lost display"; show "$ERR"; }
        (( cpu_ms < 200 )) || fail "the program used ${cpu_ms} ms of CPU after the server died"
    else
        cpu_share "$PROG_PID" 0.5
        if (( CPU_SHARE > 2000 )); then
            fail "the program still runs $ENDS_S s after the server died, spinning at $(show_share "$CPU_SHARE") of a core"
        else
            fail "the program still runs $ENDS_S s after the server died, idle: it hangs"
        fi
    fi
    end_duskwarm
}

server_dies KILL sleeps
server_dies KILL fades
server_dies TERM sleeps
server_dies TERM fades

# ---- standard input closed; a terminal hung up ------------------------------

# Real UTC now as local solar midnight: with -l 0 this longitude puts the
# program in the middle of the night whatever the hour, without a fake clock.
midnight_longitude() {
    date -u '+%H %M' | awk '{ g = 0 - ($1 * 60 + $2) / 4; if (g < -180) g += 360; printf "%.2f\n", g }'
}

case_begin "standard input closed: the loop goes on, SIGTERM restores"
# Without the fake clock: its library would itself take descriptor 0. At night
# the loop's colours are never 6500 K, so only the restore can bring it.
if start_server 1screen-256.conf; then
    g=$(midnight_longitude)
    SEQ=$((SEQ + 1))
    OUT=$WORK/run$SEQ.out
    ERR=$WORK/run$SEQ.err
    echo "    \$ DISPLAY=$DISP TZ=UTC0 duskwarm -l 0 -g $g -nofork <&-"
    DISPLAY=$DISP TZ=UTC0 "$DUSKWARM" -l 0 -g "$g" -nofork <&- >"$OUT" 2>"$ERR" &
    PROG_PID=$!
    poison
    if wait_until 3 colour_is_not "$POISON_K"; then
        grep -q "^It's night time" "$OUT" || fail "not night at longitude $g: the case proves less"
        fd0=$(readlink "/proc/$PROG_PID/fd/0")
        [[ $fd0 == /dev/null ]] || fail "descriptor 0 is $fd0, not /dev/null"
        for round in 1 2 3; do
            poison
            sleep 0.3
            colour_is_not "$POISON_K" || fail "the ramps stayed poisoned for 0.3 s in a fade (round $round)"
        done
        cpu_share "$PROG_PID" 1
        echo "    CPU $(show_share "$CPU_SHARE") of a core in a fade"
        (( CPU_SHARE < 2000 )) || fail "the program used $(show_share "$CPU_SHARE") of a core"
        poison
        expect_restore "with standard input closed" "$PROG_PID" crtcs_hold "$DAY_K"
    else
        fail "the program loaded nothing within 3 s"
    fi
    end_duskwarm
    stop_server
fi

# The terminal: terminal.py is the window and the session leader; the program
# runs in the terminal's foreground process group, not as a session leader,
# as a command started from a shell does.
TTY_PROG=     # the program's pid, while the terminal runs
TTY_CTL=      # descriptor of the terminal's control pipe
TTY_OUT=      # what the program wrote to the terminal
TTY_REPORT=   # the terminal's own lines

# tty_start ARGS...: starts the program under the terminal, with FAKE_TIME
# as start_duskwarm takes it. PROG_PID is the terminal: it ends with the
# program's status, and takes the program with it if it is killed.
tty_start() {
    local fifo envs=(DISPLAY="$DISP" TZ=UTC0)
    [[ -n ${FAKE_TIME:-} ]] && envs+=(LD_PRELOAD="$FAKETIME_LIB" FAKETIME="@$FAKE_TIME")
    SEQ=$((SEQ + 1))
    TTY_OUT=$WORK/tty$SEQ.out
    TTY_REPORT=$WORK/tty$SEQ.report
    ERR=$WORK/tty$SEQ.err
    fifo=$WORK/tty$SEQ.in
    : >"$TTY_OUT"
    mkfifo "$fifo" || return 1
    exec {TTY_CTL}<>"$fifo"
    echo "    \$ (on a terminal) ${envs[*]} duskwarm $*"
    python3 "$TERMINAL" "$TTY_OUT" "$ERR" env "${envs[@]}" "$DUSKWARM" "$@" \
        <"$fifo" >"$TTY_REPORT" 2>&1 {TTY_CTL}>&- &
    PROG_PID=$!
    if wait_until 5 grep -q '^pid ' "$TTY_REPORT"; then
        TTY_PROG=$(awk '$1 == "pid" { print $2 }' "$TTY_REPORT")
    else
        fail "the terminal did not start the program"
        show_plain "$TTY_REPORT"
        return 1
    fi
}

tty_say() {
    printf '%s\n' "$1" >&"$TTY_CTL"
}

tty_end() {
    end_duskwarm
    if [[ -n $TTY_CTL ]]; then
        exec {TTY_CTL}>&-
        TTY_CTL=
    fi
    TTY_PROG=
}

# The program is not its session's leader, and its group has the terminal.
tty_setup_is_right() {
    local stat
    stat=$(cat "/proc/$TTY_PROG/stat") || return 1
    stat=${stat##*) }
    read -r _ _ pgrp session _ tpgid _ <<<"$stat"
    if (( session == TTY_PROG || pgrp != TTY_PROG || tpgid != pgrp )); then
        fail "the program is not a foreground job (session $session, group $pgrp, terminal's group $tpgid)"
    fi
}

# shellcheck disable=SC2317  # called through wait_until
tty_has() {
    grep -aqF "$1" "$TTY_OUT"
}

case_begin "terminal hung up while the program loops: no signal reaches it, the loop goes on, SIGTERM restores"
if start_server 1screen-256.conf; then
    if FAKE_TIME="$NIGHT x10" tty_start "${LOCATION[@]}" -nofork; then
        tty_setup_is_right
        wait_until 10 crtcs_hold "$NIGHT_K" || fail "3400 K was not on every CRTC within 10 s"
        tty_say 'type k\n'
        wait_until 3 tty_has "Colortemp=3400" || fail "no reply to k on the terminal"
        tty_say hangup
        # The hangup's SIGHUP goes to the session leader alone.
        wait_until 3 grep -qx sighup "$TTY_REPORT" || fail "the terminal's hangup did not reach its session leader"
        sleep 0.5
        if xserver_alive "$TTY_PROG"; then
            cpu_share "$TTY_PROG" 1
            echo "    CPU $(show_share "$CPU_SHARE") of a core after the hangup"
            (( CPU_SHARE < 500 )) || fail "the program used $(show_share "$CPU_SHARE") of a core after the hangup"
            loop_goes_on "$NIGHT_K" 3
            expect_restore "after the hangup" "$TTY_PROG" crtcs_hold "$DAY_K"
        else
            wait_gone 1
            fail "the program ended after the hangup, status $STATUS"
            show_plain "$TTY_REPORT"
        fi
    fi
    tty_end
    stop_server
fi

case_begin "terminal hung up with a reply still to write: written into the void, the program goes on"
# By day, k=2700 fades for 2 s and only then replies: the hangup comes in
# between, so the reply meets a terminal that is gone.
if start_server 1screen-256.conf; then
    if FAKE_TIME=$DAY tty_start "${LOCATION[@]}" -nofork; then
        wait_until 5 crtcs_hold "$DAY_K" || fail "6500 K was not on every CRTC within 5 s"
        tty_say 'type k=2700\n'
        if wait_until 3 colour_is_not "$DAY_K"; then
            tty_say hangup
            wait_until 3 grep -qx sighup "$TTY_REPORT" || fail "the hangup did not reach the session leader"
            # The 2 s fade ends, the reply fails, and the loop fades back to
            # 6500 K over 20 s, loading every 20 ms.
            sleep 3
            if xserver_alive "$TTY_PROG"; then
                poison
                sleep 0.3
                c=$(crtc_colour 0:0)
                [[ $c == "$DAY_K" || $c == "$POISON_K" ]] && fail "no fade back to 6500 K under way: CRTC 0 holds $c"
                expect_restore "after a reply into the hangup" "$TTY_PROG" crtcs_hold "$DAY_K"
            else
                wait_gone 1
                fail "the program ended after the hangup, status $STATUS"
                show_plain "$TTY_REPORT"
            fi
        else
            fail "k=2700 did not begin its fade within 3 s"
        fi
    fi
    tty_end
    stop_server
fi

# ---- 50 SIGTERMs at random moments ------------------------------------------
# Runs are spread over three servers, one worker each. A worker's run:
# poison, start, wait until the handler is in, wait a random time into the
# chosen phase, SIGTERM; then 6500 K must be on every CRTC and the status 0.
#   first        the first loads (the opening fade's first steps), 0-100 ms
#   fade         the night's opening fade (x10: 2 s), 150-1850 ms into it
#   sleep-night  the loop after the fade (x10: 50 ms pauses), 0-500 ms
#   sleep-day    the loop by day (x0.2: 2.5 s pauses), 100-1200 ms after its
#                first load; poisoned just before the signal, so that only the
#                restore, not the next load 1.3 s or more away, brings 6500 K
#   preview      'p' by day (x4: 1 s there, 0.5 s hold, 1 s back), 0-2400 ms
#                after the preview began, in each of its three parts in turn
# Even the fade's first step is below 6500 K (some time has passed since its
# start), so in every phase only the restore brings 6500 K back.

RUNS=(first first first first first first first first
      fade fade fade fade fade fade fade fade fade fade fade fade
      sleep-night sleep-night sleep-night sleep-night sleep-night sleep-night sleep-night sleep-night
      sleep-day sleep-day sleep-day sleep-day sleep-day sleep-day sleep-day sleep-day
      preview preview preview preview preview preview preview
      preview preview preview preview preview preview preview)
WORKERS=3
WORKER_PIDS=()
: "${SEED:=$(( $(now_us) % 32768 ))}"

# shellcheck disable=SC2317  # the exit trap
_faults_cleanup() {
    local status=$? pid
    for pid in "${WORKER_PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    (exit "$status")
    _e2e_cleanup
}
trap _faults_cleanup EXIT

# Sets RAND to a number from $1 to $2.
rand() {
    RAND=$(( $1 + RANDOM % ($2 - $1 + 1) ))
}

# sigterm_once PHASE NTH: one run, the NTH of its phase for this worker;
# prints "ok|FAIL PHASE PART DELAY_MS RESTORE_MS STATUS [WHY]".
sigterm_once() {
    local phase=$1 part=- delay=0 restore=-1 why='' t0
    STATUS=-
    load "$POISON" 1 >/dev/null 2>&1 || why="could not poison the ramps"
    case $phase in
    first|fade|sleep-night) FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork ;;
    sleep-day) FAKE_TIME="$DAY x0.2" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork ;;
    preview) FAKE_TIME="$DAY x4" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork ;;
    esac >&2   # its command line goes to the worker's log
    if ! wait_until 5 handlers_in "$PROG_PID"; then
        why="${why:+$why; }the handler was not in place within 5 s"
    else
        case $phase in
        first) rand 0 100 ;;
        fade) rand 150 1850 ;;
        sleep-night)
            wait_until 10 crtcs_hold "$NIGHT_K" || why="${why:+$why; }3400 K was not on every CRTC within 10 s"
            rand 0 500 ;;
        sleep-day)
            wait_until 5 crtcs_hold "$DAY_K" || why="${why:+$why; }6500 K was not on every CRTC within 5 s"
            rand 100 1200 ;;
        preview)
            wait_until 5 crtcs_hold "$DAY_K" || why="${why:+$why; }6500 K was not on every CRTC within 5 s"
            send $'p\n'
            wait_until 5 colour_is_not "$DAY_K" || why="${why:+$why; }the preview did not begin within 5 s"
            # Each part in turn, clear of the others by 50 ms or more.
            case $(( $2 % 3 )) in
            0) part=there; rand 0 900 ;;
            1) part=hold; rand 1050 1450 ;;
            2) part=back; rand 1550 2400 ;;
            esac ;;
        esac
        delay=$RAND
        sleep "$(ms_to_s "$delay")"
        if [[ $phase == sleep-day ]] && ! load "$POISON" 1 >/dev/null 2>&1; then
            why="${why:+$why; }could not poison the ramps"
        fi
        if ! xserver_alive "$PROG_PID"; then
            why="${why:+$why; }the program had ended before the signal"
        fi
        t0=$(now_us)
        kill -TERM "$PROG_PID"
        wait_until "$RESTORE_S" crtcs_hold "$DAY_K" && restore=$(( ($(now_us) - t0) / 1000 ))
        if wait_gone 5; then
            [[ $STATUS == 0 ]] || why="${why:+$why; }status $STATUS"
            (( restore >= 0 )) || why="${why:+$why; }6500 K not back within $RESTORE_S s"
            crtcs_hold "$DAY_K" || why="${why:+$why; }not every CRTC held 6500 K after the end"
        else
            why="${why:+$why; }still running 5 s after SIGTERM"
        fi
    fi
    end_duskwarm
    local verdict=ok
    [[ -n $why ]] && verdict=FAIL
    echo "$verdict $phase $part $delay $restore $STATUS $why"
}

# sigterm_worker W PHASE...: the runs of worker W, on the current server.
sigterm_worker() {
    local w=$1 phase
    local -A nth=()
    shift
    trap 'end_duskwarm; exit 1' TERM INT HUP
    RANDOM=$(( SEED + w ))
    SEQ=$(( (w + 1) * 10000 ))   # its own file names
    for phase in "$@"; do
        sigterm_once "$phase" $(( nth[$phase]++ + w )) >>"$WORK/sigterm$w.res" 2>>"$WORK/sigterm$w.log"
    done
}

case_begin "50 SIGTERMs at random moments: each ends with status 0 and 6500 K on every CRTC"
echo "    SEED=$SEED"
RANDOM=$SEED
order=("${RUNS[@]}")
for ((i = ${#order[@]} - 1; i > 0; i--)); do
    j=$(( RANDOM % (i + 1) ))
    t=${order[i]}; order[i]=${order[j]}; order[j]=$t
done
t_series=$(now_us)
for ((w = 0; w < WORKERS; w++)); do
    start_server 1screen-256.conf || break
    mine=()
    for ((i = w; i < ${#order[@]}; i += WORKERS)); do mine+=("${order[i]}"); done
    : >"$WORK/sigterm$w.res"
    sigterm_worker "$w" "${mine[@]}" >>"$WORK/sigterm$w.log" 2>&1 &
    WORKER_PIDS+=($!)
done
for pid in "${WORKER_PIDS[@]}"; do wait "$pid"; done
WORKER_PIDS=()
series_s=$(( ($(now_us) - t_series) / 1000000 ))
cat "$WORK"/sigterm*.res >"$WORK/sigterm.all"
runs=$(wc -l <"$WORK/sigterm.all")
echo "    $runs runs in ${series_s} s on $WORKERS servers"
(( runs == ${#RUNS[@]} )) || fail "only $runs of ${#RUNS[@]} runs reported"
while read -r verdict phase part delay restore status why; do
    [[ $verdict == ok ]] || fail "$phase ($part) after $delay ms: $why (status $status)"
done <"$WORK/sigterm.all"
# The spread: runs per phase (and per part of the preview), with the
# slowest restore of each.
awk '{ n[$2]++; if ($5 > worst[$2]) worst[$2] = $5; if ($3 != "-") part[$2 " " $3]++ }
     END { for (p in n) printf "    %-12s %2d runs, slowest restore %d ms\n", p, n[p], worst[p]
           for (p in part) printf "    %-24s %2d\n", p, part[p] }' "$WORK/sigterm.all" | sort
mapfile -t times < <(awk '$5 >= 0 { print $5 }' "$WORK/sigterm.all" | sort -n)
if (( ${#times[@]} > 0 )); then
    echo "    restore after SIGTERM: min ${times[0]} ms, median ${times[${#times[@]} / 2]} ms, max ${times[-1]} ms (${#times[@]} runs)"
fi
for pid in "${SERVERS[@]}"; do xserver_stop "$pid"; done
SERVERS=()

# ---- 3 screens, 48 CRTCs ----------------------------------------------------

case_begin "3 screens, 48 CRTCs: the first 32 (screens 0 and 1) are driven, screen 2 keeps its own ramps"
if start_server 3screen-256.conf; then
    n=$(gammaread info | grep -c '^crtc ')
    (( n == 48 )) || fail "the server has $n CRTCs, not 48: the case proves less"
    FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -nofork
    if wait_until 10 gammaread check-crtcs -n 32 "$NIGHT_K"; then
        sleep 0.3
        expect_crtcs "the first 32 CRTCs hold 3400 K" -n 32 "$NIGHT_K" 32
        expect_crtcs "screen 1's CRTCs hold 3400 K" -s 1 "$NIGHT_K" 16
        expect_crtcs "screen 2's CRTCs hold the server's own ramps" -s 2 initial 16
        want="${BANNER}Found 3 screens."$'\n'
        want+=$'Your location (lat, long) is 0.0, 0.0\n\nYour night-time color temperature is 3400\n'
        want+="It's night time. Your screen is changing now."$'\n'
        expect_output "$want" "standard output"
        expect_exact "$ERR" $'Display 1 has 256 size\nDisplay 2 has 256 size\nDisplay 3 has 256 size\n' "standard error"
        send $'k=2700\n'
        if wait_until 3 gammaread check-crtcs -n 32 "$K2700"; then
            sleep 0.3
            expect_crtcs "the console's 2700 K is on the first 32 CRTCs" -n 32 "$K2700" 32
            expect_crtcs "screen 2's CRTCs are still untouched" -s 2 initial 16
        else
            fail "2700 K was not on the first 32 CRTCs within 3 s"
        fi
        for round in 1 2 3; do
            poison
            wait_until 0.7 gammaread check-crtcs -n 32 "$K2700" ||
                fail "2700 K was not loaded again within 0.7 s (round $round)"
        done
        expect_restore "with 48 CRTCs" "$PROG_PID" gammaread check-crtcs -n 32 "$DAY_K"
        expect_crtcs "screen 2's CRTCs are untouched at the end" -s 2 initial 16
    else
        fail "3400 K was not on the first 32 CRTCs within 10 s"
        gammaread info | sed 's/^/    | /'
    fi
    end_duskwarm

    # XF86VidMode: one ramp per screen, all three driven; no CRTC is touched.
    FAKE_TIME="$NIGHT x10" start_duskwarm "$DISP" "${LOCATION[@]}" -r 0 -nofork
    if wait_until 10 gammaread check-vidmode 2 "$NIGHT_K"; then
        sleep 0.3
        for s in 0 1 2; do
            expect_vidmode "screen $s's XF86VidMode ramp holds 3400 K" "$s" "$NIGHT_K"
        done
        expect_crtcs "the first 32 CRTCs still hold 6500 K" -n 32 "$DAY_K" 32
        expect_crtcs "screen 2's CRTCs are still untouched" -s 2 initial 16
        expect_restore "with -r 0 on 3 screens" "$PROG_PID" gammaread check-vidmode 2 "$DAY_K"
        for s in 0 1; do
            expect_vidmode "screen $s's XF86VidMode ramp holds 6500 K" "$s" "$DAY_K"
        done
    else
        fail "screen 2's XF86VidMode ramp did not hold 3400 K within 10 s"
        gammaread info | sed 's/^/    | /'
    fi
    end_duskwarm
    stop_server
fi

finish
