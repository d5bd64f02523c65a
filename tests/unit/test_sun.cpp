#include <optional>

#include "sun/clock.h"
#include "unit.h"

namespace {

// UTC in 2024, a leap year: day 0 is 1 January, day 365 31 December.
constexpr time_t At(int day, int hour = 0, int sec = 0) {
    return 1704067200 + day * 86400 + hour * 3600 + sec;
}
const char* const kVienna = "CET-1CEST,M3.5.0,M10.5.0/3";

// Minutes after local midnight at instant t in zone tz (POSIX rules: no zone file read).
struct Local {
    const char* tz = "UTC0";
    float lat = 0;
    float lon = 0;
    time_t t;
    float rise;
    float set;
    std::optional<float> now = {};   // none: only the sun's times
    bool night = false;
};

const Local kLocals[] = {
    // Between the bands, beyond them, and in the south half a year on.
    {.lat = 52.5f, .t = At(172), .rise = 204.5f, .set = 1239},
    {.lat = 65, .t = At(172), .rise = 123.66666f, .set = 1320.6666f},
    {.lat = -20, .t = At(183), .rise = 403, .set = 1043},
    {.lat = -45, .t = At(184), .rise = 458, .set = 989},
    // Summer time, meridians, both midnight wraps, seconds, strict night, local mean time.
    {.tz = kVienna, .lat = 45, .lon = 15, .t = At(0, 12), .rise = 458, .set = 988, .now = 780},
    {.tz = kVienna, .lat = 45, .lon = 15, .t = At(172, 22, 1800),
     .rise = 313, .set = 1250, .now = 1470, .night = true},
    {.tz = "AEST-10", .lon = 150, .t = At(365, 23), .rise = 359, .set = 1087, .now = 540},
    {.tz = "<+13>-13", .lon = -172, .t = At(0), .rise = 1828, .set = 2555, .now = 2220},
    {.t = At(0, 6), .rise = 360, .set = 1087, .now = 360},
    {.t = At(0, 18, 420), .rise = 360, .set = 1087, .now = 1087},
    {.tz = "LMT-0:53:28", .t = At(0, 0, 30), .rise = 413, .set = 1140, .now = 53.5f, .night = true},
};

TEST(Clock, SunTimesOnTheLocalClock) {
    for (const Local& l : kLocals) {
        SCOPED_TRACE(testing::Message() << l.tz << " " << l.t << " " << l.lat << " " << l.lon);
        UseZone(l.tz);
        float rise = 0;
        float set = 0;
        float now = 0;
        GetSunTimeAt(l.t, l.lat, l.lon, rise, set, now);
        EXPECT_NEAR(rise, l.rise, 0.005f);
        EXPECT_NEAR(set, l.set, 0.005f);
        if (!l.now) continue;
        EXPECT_FLOAT_EQ(now, *l.now);
        EXPECT_EQ(IsNight(rise, set, now), l.night);
    }
}

}  // namespace
