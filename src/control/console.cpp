// Short commands typed at the program in the foreground, one per line.
#include "control/console.h"

#include <cinttypes>
#include <cstdio>

#include "control/input.h"
#include "control/run.h"
#include "control/settings.h"
#include "control/zip.h"
#include "display/fade.h"

namespace {

float Clamp(float v, float bound) {
    if (v > bound) v = bound;
    if (v < -bound) v = -bound;
    return v;   // NaN passes through unchanged
}

void ReplyColortemp(int64_t k) {
    printf("Colortemp=%" PRId64 "\n", k);
}

// Fades to the new night temperature over 2 s before storing it.
void SetNightTemp(int32_t k) {
    if (static_cast<uint64_t>(static_cast<int64_t>(k)) != nighttemp)
        Animate(static_cast<int32_t>(nighttemp), k, 2);
    nighttemp = static_cast<uint64_t>(static_cast<int64_t>(k));
    ReplyColortemp(static_cast<int64_t>(nighttemp));
}

void LookUpZip(int32_t code) {
    if (latzip(code, latitude, longitude))
        printf("ZIPCode=%d\nLatitude=%.1f\nLongitude=%.1f\n", code, latitude, longitude);
    else
        puts("ZIPCode=notfound");
}

// Shows the other temperature for a moment: 4 s there, 2 s hold, 4 s back.
// Input during the first fade ends the preview on the other temperature.
void Preview(bool night) {
    const int32_t night_k = static_cast<int32_t>(nighttemp);
    const int32_t now_k = night ? night_k : kDayKelvin;
    const int32_t other_k = night ? kDayKelvin : night_k;
    if (Animate(now_k, other_k, 4) == -1) return;
    PauseMicro(2000000);
    Animate(other_k, now_k, 4);
}

// Queries and the preview, chosen by the line's first character.
void Query(char first, bool night) {
    switch (first) {
    case 'k': ReplyColortemp(static_cast<int64_t>(nighttemp)); break;
    case 'l': printf("Latitude=%.1f\n", latitude); break;
    case 'g': printf("Longitude=%.1f\n", longitude); break;
    case 'c': ReplyColortemp(lastcolor); break;
    case 'p': Preview(night); break;
    default: break;
    }
}

}  // namespace

void HandleLine(const char* line, bool night) {
    int n = 0;
    float v = 0.0f;
    if (sscanf(line, "k=%d", &n) == 1)
        SetNightTemp(n);
    else if (sscanf(line, "l=%f", &v) == 1)
        printf("Latitude=%.1f\n", latitude = Clamp(v, 65.0f));
    else if (sscanf(line, "g=%f", &v) == 1)
        printf("Longitude=%.1f\n", longitude = Clamp(v, 180.0f));
    else if (sscanf(line, "z=%d", &n) == 1)
        LookUpZip(n);
    else
        Query(line[0], night);
    // A program driving the console through a pipe gets each answer at once.
    fflush(stdout);
}

void ServeConsole(bool night) {
    char line[kLineBuffer];
    while (haskb()) {
        line[0] = '\0';
        if (ReadLine(line, sizeof line) != 0) break;
        HandleLine(line, night);
    }
}
