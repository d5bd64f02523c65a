#!/usr/bin/env python3
"""Runs a command on a pseudo-terminal, the way a terminal window runs one.

    terminal.py TRANSCRIPT ERRFILE COMMAND [ARG...]

This process plays both the terminal window and the session leader (the
shell). It opens a pseudo-terminal, starts a new session with the terminal
as its controlling terminal, and runs COMMAND in a process group of its own,
made the terminal's foreground group, with standard input and output on the
terminal and standard error in ERRFILE. Everything COMMAND writes to the
terminal is appended to TRANSCRIPT.

Lines read from this process's standard input drive the window:
    type TEXT   types TEXT (with \\n for a newline) on the keyboard
    hangup      closes the window: the master side is closed, the terminal
                is hung up
On its standard output it reports, one line each:
    pid N           COMMAND runs as process N
    sighup          the hangup reached this process, the session leader
    status N        COMMAND ended with status N (128 + the signal if killed)
It ends when COMMAND has ended, with COMMAND's status. Unlike a shell, it
outlives the hangup and passes nothing on to COMMAND, which then runs on as
the child of a process that keeps going after its terminal closed.

On SIGTERM it kills COMMAND and ends; COMMAND is also killed if this process
dies in any other way, so a test that stops it leaves nothing behind.
"""
import ctypes
import fcntl
import os
import select
import signal
import sys
import termios

PR_SET_PDEATHSIG = 1


def report(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def start(slave, errfile, argv):
    """Forks COMMAND in its own foreground process group; returns its pid."""
    pid = os.fork()
    if pid == 0:
        try:
            ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
            os.setpgid(0, 0)
            # Taking the terminal from a background group would stop us.
            signal.signal(signal.SIGTTOU, signal.SIG_IGN)
            os.tcsetpgrp(slave, os.getpid())
            signal.signal(signal.SIGTTOU, signal.SIG_DFL)
            signal.signal(signal.SIGHUP, signal.SIG_DFL)
            signal.signal(signal.SIGTERM, signal.SIG_DFL)
            err = os.open(errfile, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.dup2(slave, 0)
            os.dup2(slave, 1)
            os.dup2(err, 2)
            os.closerange(3, 256)
            os.execvp(argv[0], argv)
        finally:
            os._exit(127)
    try:
        os.setpgid(pid, pid)
    except OSError:
        pass   # the child got there first, or has already gone
    return pid


def main():
    if len(sys.argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    transcript, errfile, argv = sys.argv[1], sys.argv[2], sys.argv[3:]

    master, slave = os.openpty()
    os.setsid()
    fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    attrs = termios.tcgetattr(slave)
    attrs[3] &= ~termios.ECHO   # the transcript holds what COMMAND wrote, no echo
    termios.tcsetattr(slave, termios.TCSANOW, attrs)

    # A handler, not SIG_IGN: handlers fall back to the default at exec, an
    # ignored SIGHUP would be inherited and hide a hangup that reached COMMAND.
    hangups = []
    signal.signal(signal.SIGHUP, lambda *_: hangups.append(1))
    child = None

    def stop(*_):
        if child:
            os.kill(child, signal.SIGKILL)
        os._exit(143)
    signal.signal(signal.SIGTERM, stop)

    child = start(slave, errfile, argv)
    os.close(slave)
    report("pid %d" % child)

    out = open(transcript, "ab", buffering=0)
    control = sys.stdin.fileno()
    inputs = [control, master]
    pending = b""
    told_hangup = False
    while True:
        if hangups and not told_hangup:
            report("sighup")
            told_hangup = True
        done, status = os.waitpid(child, os.WNOHANG)
        if done:
            break
        try:
            ready, _, _ = select.select(inputs, [], [], 0.02)
        except InterruptedError:
            continue
        if master is not None and master in ready:
            try:
                data = os.read(master, 4096)
            except OSError:
                data = b""
            if data:
                out.write(data)
            else:
                inputs.remove(master)
        if control in ready:
            data = os.read(control, 4096)
            if not data:
                inputs.remove(control)
            pending += data
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                line = line.decode()
                if line.startswith("type ") and master is not None:
                    os.write(master, line[5:].replace("\\n", "\n").encode())
                elif line == "hangup" and master is not None:
                    if master in inputs:
                        inputs.remove(master)
                    os.close(master)
                    master = None
    while master is not None and select.select([master], [], [], 0)[0]:
        try:
            data = os.read(master, 4096)
        except OSError:
            break
        if not data:
            break
        out.write(data)
    if hangups and not told_hangup:
        report("sighup")
    code = os.waitstatus_to_exitcode(status)
    code = 128 - code if code < 0 else code
    report("status %d" % code)
    return code


if __name__ == "__main__":
    sys.exit(main())
