#!/bin/bash
# Installs a build into a fresh temporary prefix and checks what lands there:
# the program runs from its installed place, the manual page formats cleanly
# and can be found by man, the systemd user unit verifies and starts the
# installed program, and the autostart entry is complete and starts the
# program with options it accepts.
#
#   tests/install/test_install.sh [BUILD_DIR]
#
# From the environment (CTest sets them; the defaults are the usual layout):
#   BUILD_DIR      the configured and built tree (default: SOURCE/build)
#   CMAKE          the cmake to install with     (default: cmake)
#   BINDIR MANDIR DOCDIR USER_UNIT_DIR   install dirs relative to the prefix
#                  (bin, share/man, share/doc/duskwarm, lib/systemd/user;
#                  USER_UNIT_DIR empty when the unit is not installed there)
#
# Checks that need a tool that is missing (groff, man, systemd-analyze,
# desktop-file-validate) are skipped with a message. Exit status: 0 all
# checks passed, 1 a check failed, 77 the tree cannot be checked this way.

set -u

SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR=${1:-${BUILD_DIR:-$SOURCE/build}}
CMAKE=${CMAKE:-cmake}
BINDIR=${BINDIR-bin}
MANDIR=${MANDIR-share/man}
DOCDIR=${DOCDIR-share/doc/duskwarm}
USER_UNIT_DIR=${USER_UNIT_DIR-lib/systemd/user}

for d in "$BINDIR" "$MANDIR" "$DOCDIR" "$USER_UNIT_DIR"; do
    if [[ $d == /* ]]; then
        echo "SKIP: install dir $d is absolute; only relative dirs can be installed into a temporary prefix"
        exit 77
    fi
done

FAILURES=0
fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}
pass() { echo "ok: $*"; }
skip() { echo "SKIP: $*"; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/duskwarm-install.XXXXXX") || exit 1
trap 'rm -rf -- "$WORK"' EXIT
PREFIX=$WORK/prefix
OUT=$WORK/out
mkdir -p "$PREFIX" "$OUT"

# ---------------------------------------------------------------------------
echo "== cmake --install $BUILD_DIR --prefix $PREFIX"
if ! "$CMAKE" --install "$BUILD_DIR" --prefix "$PREFIX" >"$OUT/install.log" 2>&1; then
    cat "$OUT/install.log"
    fail "cmake --install failed"
    exit 1
fi

BIN=$PREFIX/$BINDIR/duskwarm
MAN=$PREFIX/$MANDIR/man1/duskwarm.1
EXAMPLES=$PREFIX/$DOCDIR/examples
UNIT=$EXAMPLES/duskwarm.service
DESKTOP=$EXAMPLES/duskwarm.desktop

for f in "$MAN" "$UNIT" "$DESKTOP"; do
    [[ -f $f ]] || fail "not installed: ${f#"$PREFIX"/}"
done
if [[ -n $USER_UNIT_DIR ]]; then
    [[ -f $PREFIX/$USER_UNIT_DIR/duskwarm.service ]] || fail "not installed: $USER_UNIT_DIR/duskwarm.service"
    if [[ -f $PREFIX/$USER_UNIT_DIR/duskwarm.service && -f $UNIT ]]; then
        cmp -s "$PREFIX/$USER_UNIT_DIR/duskwarm.service" "$UNIT" ||
            fail "the unit in $USER_UNIT_DIR differs from the example"
        # Check the one systemd would load.
        UNIT=$PREFIX/$USER_UNIT_DIR/duskwarm.service
    fi
fi
# Nothing for every user's session start.
[[ -e $PREFIX/etc/xdg/autostart ]] && fail "an autostart entry was installed into etc/xdg/autostart"

# ---------------------------------------------------------------------------
echo "== the installed program"
if [[ ! -f $BIN ]]; then
    fail "not installed: $BINDIR/duskwarm"
elif [[ ! -x $BIN ]]; then
    fail "$BINDIR/duskwarm is not executable"
else
    # Without a location it clears the terminal, greets, prints the usage text
    # with the name it was started by, and ends with status 0; no display needed.
    env -u DISPLAY timeout 20 "$BIN" </dev/null >"$OUT/usage.out" 2>"$OUT/usage.err"
    status=$?
    printf '%s' $'\e[2J\e[0;0f' \
        $'\n--------\nWelcome to duskwarm (Embertone for X)\n' \
        $'This will only work if you\'re running X on console.\n\n' \
        "Usage: $BIN [-z zipcode | -l latitude] [-g longitude] [-k colortemp (default 3400)] [-r 1 (use randr)] [-nofork]"$'\n' \
        $'protip: Say where you are (use -z or -l).\n\n' >"$OUT/usage.expected"
    if [[ $status -ne 0 ]]; then
        fail "run without arguments: status $status, expected 0"
    elif ! cmp -s "$OUT/usage.out" "$OUT/usage.expected"; then
        fail "run without arguments: unexpected standard output"
        diff <(cat -v "$OUT/usage.expected") <(cat -v "$OUT/usage.out")
    elif [[ -s $OUT/usage.err ]]; then
        fail "run without arguments wrote to standard error: $(cat "$OUT/usage.err")"
    else
        pass "runs from the prefix and prints its usage text"
    fi
fi

# Runs the installed program with the given options and no display: options
# it accepts get as far as opening the display, which fails with status 255
# and the display message; a refused option or a missing location ends
# earlier with a message of its own on standard output.
accepts_options() {
    local what=$1
    shift
    env -u DISPLAY timeout 20 "$BIN" "$@" </dev/null >"$OUT/opts.out" 2>"$OUT/opts.err"
    local status=$?
    if [[ $status -eq 255 ]] && grep -q "^Couldn't open display" "$OUT/opts.err" &&
        ! grep -q -e '^Usage:' -e 'not a good number' -e "didn't match" -e 'out of range' "$OUT/opts.out"; then
        pass "$what: the program accepts the options ($*)"
    else
        fail "$what: the program does not accept the options ($*): status $status"
        cat -v "$OUT/opts.out" "$OUT/opts.err"
    fi
}

# Value of the first KEY= line of a file (no sections: the files here have
# each key once).
key() { sed -n "s/^$2=//p" "$1" | head -n 1; }

# ---------------------------------------------------------------------------
echo "== manual page"
if [[ -f $MAN ]]; then
    cmp -s "$MAN" "$SOURCE/dist/duskwarm.1" || fail "the installed manual page differs from dist/duskwarm.1"
    if command -v groff >/dev/null; then
        if groff -man -ww -z "$MAN" >"$OUT/groff.log" 2>&1 && [[ ! -s $OUT/groff.log ]]; then
            pass "groff -man -ww -z is silent"
        else
            fail "groff -man -ww -z complains:"
            cat "$OUT/groff.log"
        fi
    else
        skip "groff is not installed (package groff-base); the manual page is not formatted"
    fi
    if command -v man >/dev/null; then
        found=$(MANPATH=$PREFIX/$MANDIR man -w duskwarm 2>/dev/null)
        if [[ $found == "$MAN" ]]; then
            pass "man finds the page in the prefix"
        else
            fail "man -w duskwarm with MANPATH=$PREFIX/$MANDIR gives '$found', expected $MAN"
        fi
    else
        skip "man is not installed; not looked up"
    fi
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'CONSOLE COMMANDS' SIGNALS 'EXIT STATUS' ENVIRONMENT EXAMPLES LIMITS; do
        grep -qx "\.SH \"\{0,1\}$section\"\{0,1\}" "$MAN" || fail "the manual page has no $section section"
    done
fi

# ---------------------------------------------------------------------------
echo "== systemd user unit"
if [[ -f $UNIT ]]; then
    grep -q '@' "$UNIT" && fail "the unit still holds a placeholder: $(grep '@' "$UNIT")"
    exec_start=$(key "$UNIT" ExecStart)
    read -r -a exec_words <<<"$exec_start"
    if [[ ${exec_words[0]:-} != "$BIN" ]]; then
        fail "ExecStart starts '${exec_words[0]:-}', expected the installed $BIN"
    elif [[ ${exec_words[-1]} != -nofork ]]; then
        fail "ExecStart does not end with -nofork (the service must stay in the foreground): $exec_start"
    else
        pass "ExecStart runs the installed program in the foreground"
    fi
    [[ $(key "$UNIT" StandardInput) == null ]] || fail "StandardInput is not null"
    [[ $(key "$UNIT" KillSignal) == SIGTERM ]] || fail "KillSignal is not SIGTERM (the signal that restores 6500 K)"
    [[ $(key "$UNIT" WantedBy) == graphical-session.target ]] || fail "WantedBy is not graphical-session.target"
    [[ $(key "$UNIT" PartOf) == graphical-session.target ]] || fail "PartOf is not graphical-session.target"

    # The sample options, as systemd splits $DUSKWARM_ARGS: whole pairs, so
    # that the -nofork after them stays the unpaired last word.
    env_line=$(key "$UNIT" Environment)
    env_line=${env_line#\"}
    env_line=${env_line%\"}
    if [[ $env_line != DUSKWARM_ARGS=* ]]; then
        fail "no Environment=DUSKWARM_ARGS=... line with the sample location"
    else
        read -r -a args <<<"${env_line#DUSKWARM_ARGS=}"
        if (( ${#args[@]} == 0 || ${#args[@]} % 2 != 0 )); then
            fail "DUSKWARM_ARGS has ${#args[@]} words; option pairs are needed before -nofork"
        elif [[ -x $BIN ]]; then
            accepts_options "unit" "${args[@]}" -nofork
        fi
    fi

    if ! command -v systemd-analyze >/dev/null; then
        skip "systemd-analyze is not installed; the unit is not verified"
    else
        # A user manager needs a runtime directory, and the Documentation=
        # line is looked up with man. A trivial unit shows whether
        # systemd-analyze can verify anything at all in this environment.
        runtime=$WORK/runtime
        mkdir -m 700 "$runtime"
        printf '[Unit]\nDescription=probe\n[Service]\nExecStart=/bin/true\n' >"$WORK/probe.service"
        verify() {
            HOME=$WORK XDG_RUNTIME_DIR=$runtime XDG_CONFIG_HOME=$WORK/config MANPATH=$PREFIX/$MANDIR: \
                timeout 60 systemd-analyze verify --user "$1" >"$OUT/verify.log" 2>&1 && [[ ! -s $OUT/verify.log ]]
        }
        if ! verify "$WORK/probe.service"; then
            skip "systemd-analyze cannot verify user units here: $(head -n 3 "$OUT/verify.log")"
        elif verify "$UNIT"; then
            pass "systemd-analyze verify --user is silent"
        else
            fail "systemd-analyze verify --user complains:"
            cat "$OUT/verify.log"
        fi
    fi
fi

# ---------------------------------------------------------------------------
echo "== XDG autostart entry"
if [[ -f $DESKTOP ]]; then
    cmp -s "$DESKTOP" "$SOURCE/dist/duskwarm.desktop" || fail "the installed entry differs from dist/duskwarm.desktop"
    [[ $(grep -v -e '^#' -e '^$' "$DESKTOP" | head -n 1) == '[Desktop Entry]' ]] ||
        fail "the first group is not [Desktop Entry]"
    [[ $(key "$DESKTOP" Type) == Application ]] || fail "Type is not Application"
    [[ -n $(key "$DESKTOP" Name) ]] || fail "no Name"
    [[ $(key "$DESKTOP" X-GNOME-Autostart-enabled) == true ]] || fail "X-GNOME-Autostart-enabled is not true"
    [[ $(key "$DESKTOP" Terminal) == false ]] || fail "Terminal is not false"
    read -r -a exec_words <<<"$(key "$DESKTOP" Exec)"
    if [[ ${exec_words[0]:-} != duskwarm ]]; then
        fail "Exec does not start the program by name from PATH: ${exec_words[*]}"
    elif [[ " ${exec_words[*]} " == *" -nofork "* ]]; then
        fail "Exec has -nofork; from autostart the program must go to the background itself"
    elif [[ -x $BIN ]]; then
        accepts_options "autostart entry" "${exec_words[@]:1}"
    fi
    if command -v desktop-file-validate >/dev/null; then
        if desktop-file-validate "$DESKTOP" >"$OUT/validate.log" 2>&1 && [[ ! -s $OUT/validate.log ]]; then
            pass "desktop-file-validate is silent"
        else
            fail "desktop-file-validate complains:"
            cat "$OUT/validate.log"
        fi
    else
        skip "desktop-file-validate is not installed (package desktop-file-utils); the entry is not validated"
    fi
fi

# ---------------------------------------------------------------------------
if (( FAILURES > 0 )); then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "all install checks passed"
exit 0
