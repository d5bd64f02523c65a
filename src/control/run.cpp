// Run start and the main loop.
#include "control/run.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "control/console.h"
#include "control/settings.h"
#include "display/fade.h"
#include "display/gamma.h"
#include "sun/clock.h"

namespace {

[[noreturn]] void MainLoop() {
    for (;;) {
        float sunrise_min, sunset_min, now_min;
        GetSunTime(latitude, longitude, sunrise_min, sunset_min, now_min);
        const bool night = IsNight(sunrise_min, sunset_min, now_min);
        const int64_t target = night ? static_cast<int64_t>(nighttemp) : kDayKelvin;
        if (target != lastcolor)
            Animate(static_cast<int32_t>(lastcolor), static_cast<int32_t>(target), kNightFadeS);
        if (nofork) ServeConsole(night);
        // Read after the console, so a new night temperature shows at once.
        SetKelvinAll(night ? static_cast<float>(nighttemp) : static_cast<float>(kDayKelvin));
        PauseMicro(kLoopPauseUs);
    }
}

}  // namespace

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
        NewWakePipe();
    }
    MainLoop();
}
