#include "control/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "control/settings.h"
#include "control/zip.h"
#include "display/gamma.h"

float latitude = kUnset;
float longitude = kUnset;
uint64_t nighttemp = kDefaultNightKelvin;
int nofork = 0;

namespace {

void Greet() {
    fputs("\x1b[2J\x1b[0;0f", stdout);
    puts("\n--------\nWelcome to duskwarm (Embertone for X)");
    puts("This will only work if you're running X on console.\n");
}

// Reads a latitude or longitude and clamps it to +-bound. A value that reads
// as 0 without starting with '0' (a word, "-0", an empty string) is refused.
int ReadDegrees(const char* text, float bound, float& out) {
    float v = static_cast<float>(strtod(text, nullptr));
    if (v > bound)
        v = bound;
    else if (v < -bound)
        v = -bound;
    else if (v == 0.0f && text[0] != '0')
        return -1;
    out = v;
    return 0;
}

// Applies one option pair; returns -1 (after saying why) when it is refused.
int ApplyOption(const char* name, const char* value) {
    if (strcmp(name, "-z") == 0) {
        if (!latzip(static_cast<int32_t>(strtol(value, nullptr, 10)), latitude, longitude)) {
            puts("Your zipcode didn't match any location we know about.");
            return -1;
        }
    } else if (strcmp(name, "-r") == 0) {
        useRANDR = static_cast<int32_t>(strtol(value, nullptr, 10));
    } else if (strcmp(name, "-l") == 0) {
        if (ReadDegrees(value, kMaxLatitude, latitude) != 0) {
            puts("Your latitude is not a good number.");
            return -1;
        }
    } else if (strcmp(name, "-g") == 0) {
        if (ReadDegrees(value, kMaxLongitude, longitude) != 0) {
            puts("Your longitude is not a good number.");
            return -1;
        }
    } else if (strcmp(name, "-k") == 0) {
        int64_t k = strtoll(value, nullptr, 10);
        if (k < 2000 || k > 10000) {
            puts("Your kelvin color is out of range. We support 2000-10000K.");
            return -1;
        }
        nighttemp = static_cast<uint64_t>(k);
    }
    return 0;
}

// The zone's standard-time meridian: 15 degrees for every hour east of UTC.
void GuessLongitude() {
    tzset();
    long offset_min = timezone / -60;
    longitude = static_cast<float>(static_cast<double>(offset_min) * 0.25);
    printf("Guessing your longitude is %.1f based on your timezone\n"
           "Specify it with -g to make things better.\n",
           longitude);
}

}  // namespace

int StartUp(int argc, char** argv, int& status) {
    Greet();
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        if (ApplyOption(argv[i], argv[i + 1]) != 0) {
            status = -1;
            return -1;
        }
    }
    if (i < argc && strcmp(argv[i], "-nofork") == 0) nofork = 1;
    if (latitude == kUnset) {
        printf("Usage: %s [-z zipcode | -l latitude] [-g longitude] [-k colortemp (default 3400)] "
               "[-r 1 (use randr)] [-nofork]\n",
               argc > 0 ? argv[0] : "duskwarm");
        puts("protip: Say where you are (use -z or -l).\n");
        status = 0;
        return -1;
    }
    if (longitude == kUnset) GuessLongitude();
    if (FindScreens(nullptr) != 0) {
        status = -1;
        return -1;
    }
    return 0;
}
