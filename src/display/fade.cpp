#include "display/fade.h"

#include <sys/time.h>

#include "constants.h"
#include "display/gamma.h"
#include "wait.h"

int64_t lastcolor = kDayKelvin;

double getmicro() {
    timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_usec * 1e-6 + tv.tv_sec;
}

double (*fadeclock)() = getmicro;

int Animate(int32_t start, int32_t target, int32_t duration) {
    const double t0 = fadeclock();
    lastcolor = target;
    const double duration_s = duration;
    if (!(duration_s > 0.0)) return 0;
    // Wraps like the 32-bit difference it is; only absurd temperatures overflow.
    const int32_t span = static_cast<int32_t>(static_cast<uint32_t>(target) - static_cast<uint32_t>(start));
    for (;;) {
        const double t = fadeclock();
        const double elapsed_s = t - t0;
        SetKelvinAll(static_cast<float>(span * elapsed_s / duration_s + start));
        if (haskb()) {
            // Someone typed: show the target at once and let the console answer.
            SetKelvinAll(static_cast<float>(target));
            return -1;
        }
        PauseMicro(kFadeStepUs);
        // Ends on the first step that reached the duration, or when the
        // wall clock went back past the start.
        if (!(elapsed_s < duration_s && t0 <= t)) return 0;
    }
}
