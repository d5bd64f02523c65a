// Shutdown on SIGINT/SIGTERM, and the one way the program waits.
//
// The signal handler only records the signal and wakes the sleeper; the
// restore runs from PauseMicro, which every wait in the program goes through
// and the console calls between lines. So an X request is never interrupted
// halfway, and no wait (a fade step, the loop's half second, the preview's
// hold) delays the restore. The handlers do not restart interrupted calls: a
// write that blocks on standard output gives way to the restore.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "control/run.h"
#include "control/settings.h"
#include "display/gamma.h"

namespace {

volatile sig_atomic_t stopsignal = 0;
int wakepipe[2] = {-1, -1};

double MonotonicSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

[[noreturn]] void RestoreAndExit() {
    RestoreDay();
    // Not exit(): flushing standard output could wait on a reader that never reads.
    _exit(0);
}

}  // namespace

void RestoreDay() {
    SetKelvinAll(kDayKelvin);
    // A second signal must not cut the gap short.
    timespec gap = {0, kRestoreGapUs * 1000};
    while (nanosleep(&gap, &gap) != 0 && errno == EINTR) {
    }
    SetKelvinAll(kDayKelvin);
    SyncDisplay();   // the restore must reach the server before we go
}

void NiceExit(int sig) {
    if (sig != SIGINT && sig != SIGTERM) return;
    stopsignal = sig;
    if (wakepipe[1] >= 0) {
        int saved = errno;
        ssize_t ignored = write(wakepipe[1], "", 1);
        (void)ignored;
        errno = saved;
    }
}

void NewWakePipe() {
    for (int& fd : wakepipe) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    if (pipe2(wakepipe, O_CLOEXEC | O_NONBLOCK) != 0) wakepipe[0] = wakepipe[1] = -1;
}

void InstallHandlers() {
    NewWakePipe();
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = NiceExit;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void PauseMicro(long us) {
    const double end_s = MonotonicSeconds() + us * 1e-6;
    for (;;) {
        if (stopsignal) RestoreAndExit();
        const double left_ms = (end_s - MonotonicSeconds()) * 1e3;
        if (left_ms <= 0) return;
        pollfd wake = {wakepipe[0], POLLIN, 0};
        // Rounded up, so a wait never ends early and spins.
        poll(&wake, wakepipe[0] >= 0 ? 1 : 0, static_cast<int>(left_ms) + 1);
    }
}
