// A reader that does not read (a full pipe, a terminal that hung or was stopped
// with Ctrl-S, a slow link) must never hold up the loop, and with it the night
// test and the restore. So replies are written without blocking, and what
// standard output cannot take at once is dropped.
#include "control/reply.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "control/nowait.h"

namespace {

int replyfd = -2;   // what standard output is written through: -2 not chosen yet, -1 none
bool replysocket = false;
char unsent[kReplyMax];
size_t unsentlen = 0;

// What standard output took at once: a count (0 when it has no room now), or
// -1 when it never will (a reader that went away, no way to write it).
ssize_t WriteNow(const char* text, size_t len) {
    if (replyfd == -2) replyfd = NoWaitFd(STDOUT_FILENO, O_WRONLY, replysocket);
    const ssize_t done = replysocket ? send(replyfd, text, len, MSG_DONTWAIT | MSG_NOSIGNAL)
                                     : write(replyfd, text, len);
    return done < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : done;
}

}  // namespace

void FlushReplies() {
    if (unsentlen == 0) return;
    const ssize_t done = WriteNow(unsent, unsentlen);
    if (done < 0) unsentlen = 0;
    if (done <= 0) return;
    unsentlen -= static_cast<size_t>(done);
    memmove(unsent, unsent + done, unsentlen);
}

void SendReply(const char* text, size_t len) {
    FlushReplies();
    if (unsentlen > 0) return;
    const ssize_t done = WriteNow(text, len);
    if (done <= 0) return;
    // A pipe takes a short reply whole or not at all; a terminal may take the
    // first part of it. The rest is kept, so that lines are never cut.
    unsentlen = len - static_cast<size_t>(done);
    if (unsentlen > sizeof unsent) unsentlen = 0;
    memcpy(unsent, text + done, unsentlen);
}
