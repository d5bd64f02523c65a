// A reader that does not read (a full pipe, a terminal that hung or was stopped
// with Ctrl-S, a slow link) must never hold up the loop, and with it the night
// test and the restore. So replies are written without blocking, and what
// standard output cannot take at once is dropped.
#include "control/reply.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

enum class Way { kUnknown, kWrite, kSend, kPollFirst };

Way way = Way::kUnknown;
int replyfd = STDOUT_FILENO;
char unsent[kReplyMax];
size_t unsentlen = 0;

// Chooses how to write without blocking. O_NONBLOCK is never set on standard
// output itself: that flag belongs to the open file, which the shell of the
// terminal and other processes share. A pipe, FIFO or terminal is opened anew
// instead, as a file of our own; a socket takes MSG_DONTWAIT; a regular file
// never makes a writer wait. Where none of that works, a poll before each
// write keeps at least a full pipe from blocking.
void ChooseWay() {
    struct stat st;
    const bool known = fstat(STDOUT_FILENO, &st) == 0;
    if (known && S_ISREG(st.st_mode)) {
        way = Way::kWrite;
    } else if (known && S_ISSOCK(st.st_mode)) {
        way = Way::kSend;
    } else {
        const int fd = open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        way = fd >= 0 ? Way::kWrite : Way::kPollFirst;
        if (fd >= 0) replyfd = fd;
    }
}

// What standard output took at once: a count, or -1.
ssize_t WriteNow(const char* text, size_t len) {
    if (way == Way::kSend) return send(replyfd, text, len, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (way == Way::kPollFirst) {
        pollfd out = {replyfd, POLLOUT, 0};
        if (poll(&out, 1, 0) != 1 || !(out.revents & POLLOUT)) return -1;
    }
    return write(replyfd, text, len);
}

}  // namespace

void FlushReplies() {
    if (unsentlen == 0) return;
    const ssize_t done = WriteNow(unsent, unsentlen);
    if (done < 0 && errno != EAGAIN && errno != EINTR) unsentlen = 0;   // it can never go out
    if (done <= 0) return;
    unsentlen -= static_cast<size_t>(done);
    memmove(unsent, unsent + done, unsentlen);
}

void SendReply(const char* text, size_t len) {
    if (way == Way::kUnknown) ChooseWay();
    FlushReplies();
    if (unsentlen > 0) return;
    const ssize_t done = WriteNow(text, len);
    if (done < 0) return;
    // A pipe takes a short reply whole or not at all; a terminal may take the
    // first part of it. The rest is kept, so that lines are never cut.
    unsentlen = len - static_cast<size_t>(done);
    if (unsentlen > sizeof unsent) unsentlen = 0;
    memcpy(unsent, text + done, unsentlen);
}
