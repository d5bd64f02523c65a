// Run start, the main loop and the restore on SIGINT/SIGTERM.
//
// The signal handler only records the signal and wakes the sleeper; the
// restore runs from PauseMicro, which every wait in the program goes through.
// So an X request is never interrupted halfway, and no wait (a fade step, the
// loop's half second, the preview's hold) delays the restore.
#include "control/run.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "control/console.h"
#include "control/settings.h"
#include "display/fade.h"
#include "display/gamma.h"
#include "sun/clock.h"

namespace {

volatile sig_atomic_t stopsignal = 0;
int wakepipe[2] = {-1, -1};

double MonotonicSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

[[noreturn]] void RestoreAndExit() {
    SetKelvinAll(kDayKelvin);
    timespec pause = {0, 20000000};
    nanosleep(&pause, nullptr);
    SetKelvinAll(kDayKelvin);
    SyncDisplay();   // the restore must reach the server before we go
    fflush(stdout);
    exit(0);
}

[[noreturn]] void MainLoop() {
    for (;;) {
        float sunrise_min, sunset_min, now_min;
        GetSunTime(latitude, longitude, sunrise_min, sunset_min, now_min);
        const bool night = IsNight(sunrise_min, sunset_min, now_min);
        const int64_t target = night ? static_cast<int64_t>(nighttemp) : kDayKelvin;
        if (target != lastcolor) Animate(static_cast<int32_t>(lastcolor), static_cast<int32_t>(target), 20);
        if (nofork) ServeConsole(night);
        // Read after the console, so a new night temperature shows at once.
        SetKelvinAll(night ? static_cast<float>(nighttemp) : static_cast<float>(kDayKelvin));
        PauseMicro(500000);
    }
}

}  // namespace

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

void InstallHandlers() {
    if (wakepipe[0] < 0 && pipe2(wakepipe, O_CLOEXEC | O_NONBLOCK) != 0) wakepipe[0] = wakepipe[1] = -1;
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = NiceExit;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
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

int Run() {
    InstallHandlers();
    float sunrise_min, sunset_min, now_min;
    GetSunTime(latitude, longitude, sunrise_min, sunset_min, now_min);
    printf("Your location (lat, long) is %2.1f, %2.1f\n\n", latitude, longitude);
    printf("Your night-time color temperature is %" PRId64 "\n", static_cast<int64_t>(nighttemp));
    if (IsNight(sunrise_min, sunset_min, now_min)) puts("It's night time. Your screen is changing now.");
    // Flushed before the fork, or the child would write it all again.
    fflush(stdout);
    if (!nofork) {
        pid_t child = fork();
        if (child < 0) {
            printf("Couldn't go to the background (%s); use -nofork to run in front.\n", strerror(errno));
            return -1;
        }
        if (child > 0) {
            printf("Going to background: 'kill %d' to turn off.\n\n", static_cast<int>(child));
            return 0;
        }
    }
    MainLoop();
}
