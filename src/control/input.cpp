// Standard input is read without ever blocking: whatever has arrived is
// taken into a buffer, and lines are handed out from there. A partial line
// waits in the buffer for its newline while the program goes on working.
#include "control/input.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "control/nowait.h"
#include "control/settings.h"

namespace {

int infd = 0;
int readfd = -2;      // what infd is read through: -2 not chosen yet, -1 none (ends it)
bool insocket = false;
char pending[4 * kLineBuffer];
size_t have = 0;      // bytes in pending
bool ended = false;   // end of input, or input that cannot be read

// Takes whatever input has arrived, without waiting for more.
void Fill() {
    if (ended || have == sizeof pending) return;
    if (readfd == -2) readfd = NoWaitFd(infd, O_RDONLY, insocket);
    char* const end = pending + have;
    const size_t room = sizeof pending - have;
    const ssize_t got = insocket ? recv(readfd, end, room, MSG_DONTWAIT) : read(readfd, end, room);
    if (got > 0)
        have += static_cast<size_t>(got);
    // EIO: a terminal read from the background, which may come to the front later.
    else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EIO))
        ended = true;
}

// Length of the next line or piece in the buffer, 0 when none is complete.
size_t NextPiece() {
    const size_t limit = kLineBuffer - 1;
    const size_t span = have < limit ? have : limit;
    const void* nl = memchr(pending, '\n', span);
    if (nl) return static_cast<size_t>(static_cast<const char*>(nl) - pending) + 1;
    if (have >= limit) return limit;   // an overlong line goes in pieces
    return ended ? have : 0;           // the last line may lack its newline
}

}  // namespace

int haskb() {
    if (!nofork) return 0;
    Fill();
    return NextPiece() > 0 ? 1 : 0;
}

int ReadLine(char* buf, size_t size) {
    if (size == 0) return -1;
    Fill();
    size_t len = NextPiece();
    if (len == 0) return -1;
    if (len > size - 1) len = size - 1;
    memcpy(buf, pending, len);
    buf[len] = '\0';
    memmove(pending, pending + len, have - len);
    have -= len;
    return 0;
}

void ResetInput(int fd) {
    if (readfd >= 0 && readfd != infd) close(readfd);
    infd = fd;
    readfd = -2;
    have = 0;
    ended = false;
}
