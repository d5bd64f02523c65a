// Standard input and output, read and written without ever waiting. O_NONBLOCK
// is never set on them: that flag belongs to the open file, which the shell of
// the terminal and other programs share. Nor is readiness asked first: between
// poll() and read() another reader may take the input, and a terminal that
// poll() calls writable may have room for only part of a reply; the call after
// it would then wait.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <string>

// The descriptor through which standard descriptor fd (opened with flags,
// O_RDONLY or O_WRONLY) is used without waiting:
// - fd itself for a regular file, which never makes a reader or writer wait,
//   and for a socket, which takes MSG_DONTWAIT on each call (socket is set);
// - else a file of the program's own with O_NONBLOCK, opened anew through
//   /proc; where the program may not open it so (another user's terminal,
//   after su), its controlling terminal is opened as /dev/tty instead;
// - -1 where there is none (another user's pipe): it is then not used.
inline int NoWaitFd(int fd, int flags, bool& socket) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    socket = S_ISSOCK(st.st_mode);
    if (socket || S_ISREG(st.st_mode)) return fd;
    flags |= O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int own = open(("/proc/self/fd/" + std::to_string(fd)).c_str(), flags);
    // tcgetsid() answers only for the controlling terminal.
    if (own < 0 && tcgetsid(fd) != -1) return open("/dev/tty", flags);
    return own;
}
