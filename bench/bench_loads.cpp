// Loads per second of SetKelvinAll on the X display named by DISPLAY, through
// RandR and through XF86VidMode: back to back (each load waited for with a
// sync, so every load is counted whole), and as the steps of a fade, which is
// what a user sees when night begins.
//
//   DISPLAY=:N bench_loads [SECONDS]
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "display/fade.h"
#include "display/gamma.h"

namespace {

long clock_reads = 0;

// Every fade step reads the clock once, and the fade reads it once to start.
double CountingClock() {
    clock_reads++;
    return getmicro();
}

double BackToBack(double seconds) {
    long loads = 0;
    const double t0 = getmicro();
    double elapsed_s = 0;
    while (elapsed_s < seconds) {
        SetKelvinAll(loads % 2 ? 3400.0f : 6500.0f);
        SyncDisplay();
        loads++;
        elapsed_s = getmicro() - t0;
    }
    return loads / elapsed_s;
}

double FadeSteps(int seconds) {
    clock_reads = 0;
    fadeclock = CountingClock;
    const double t0 = getmicro();
    Animate(6500, 3400, seconds);
    SyncDisplay();
    const double elapsed_s = getmicro() - t0;
    fadeclock = getmicro;
    return (clock_reads - 1) / elapsed_s;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? atoi(argv[1]) : 5;
    if (seconds <= 0 || FindScreens(nullptr) != 0) return 1;
    for (int randr : {1, 0}) {
        useRANDR = randr;
        const char* path = randr ? "RandR" : "XF86VidMode";
        printf("%-12s back-to-back: %8.1f loads/s\n", path, BackToBack(seconds));
        printf("%-12s %d s fade:     %8.1f loads/s\n", path, seconds, FadeSteps(seconds));
        fflush(stdout);
    }
    SetKelvinAll(6500.0f);
    SyncDisplay();
    return 0;
}
