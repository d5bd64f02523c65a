// Standard input is read without ever blocking: whatever has arrived is
// taken into a buffer, and lines are handed out from there. A partial line
// waits in the buffer for its newline while the program goes on working.
#include "control/input.h"

#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "control/settings.h"

namespace {

int infd = 0;
char pending[4 * kLineBuffer];
size_t have = 0;      // bytes in pending
bool ended = false;   // end of input, or input that cannot be read

bool Readable() {
    if (infd < 0 || infd >= FD_SETSIZE) {
        ended = true;
        return false;
    }
    fd_set set;
    FD_ZERO(&set);
    FD_SET(infd, &set);
    timeval zero = {0, 0};
    int n = select(infd + 1, &set, nullptr, nullptr, &zero);
    if (n < 0 && errno != EINTR) ended = true;   // closed or unusable descriptor
    return n > 0 && FD_ISSET(infd, &set);
}

// Takes whatever input has arrived, without waiting for more.
void Fill() {
    if (ended || have == sizeof pending || !Readable()) return;
    ssize_t got = read(infd, pending + have, sizeof pending - have);
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
    infd = fd;
    have = 0;
    ended = false;
}
