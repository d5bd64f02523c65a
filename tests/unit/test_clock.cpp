#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "sun/clock.h"
#include "sun_expect.h"

namespace {

// Each zone is the POSIX rule of a real place, so the tests do not depend on
// the zone files installed on the machine.
constexpr const char* kVienna = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kBrisbane = "AEST-10";
constexpr const char* kPitcairn = "<-08>8";
constexpr const char* kTonga = "<+13>-13";
constexpr const char* kIndia = "IST-5:30";
constexpr const char* kSydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";
constexpr const char* kHelsinki = "EET-2EEST,M3.5.0/3,M10.5.0/4";
constexpr const char* kUtc = "UTC0";
// Local mean time of Berlin, 53 min 28 s east, and its mirror image west.
constexpr const char* kBerlinMean = "LMT-0:53:28";
constexpr const char* kMeanWest = "<-0053>0:53:28";

time_t Utc(int year, int month, int day, int hour, int min, int sec = 0) {
    struct tm when {};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = min;
    when.tm_sec = sec;
    return timegm(&when);
}

// Sets TZ for one test and puts the caller's value back afterwards.
class ClockTest : public testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = getenv("TZ")) saved_tz_ = tz;
    }
    void TearDown() override {
        if (saved_tz_) setenv("TZ", saved_tz_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    static void UseZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    std::optional<std::string> saved_tz_;
};

struct SunCase {
    const char* what;
    const char* tz;
    float lat;
    float lon;
    time_t instant;
    float sunrise_min;
    float sunset_min;
    float now_min;
    bool night;
    float tolerance_min;   // for sunrise and sunset; 0: equal to within a few ulps
};

// 2024 is a leap year, so its index 172 is 21 June; 2023 is a common year.
const SunCase kSunCases[] = {
    {"on the zone's meridian in winter", kVienna, 45, 15, Utc(2024, 1, 1, 12, 0),
     458, 988, 780, false, 0},
    {"on the zone's meridian in summer", kVienna, 45, 15, Utc(2024, 6, 21, 12, 0),
     313, 1250, 840, false, 0},
    {"no longitude keeps the zone's meridian", kVienna, 45, -1000, Utc(2024, 6, 21, 12, 0),
     313, 1250, 840, false, 0},
    {"just after local midnight in summer", kVienna, 45, 15, Utc(2024, 6, 21, 22, 30),
     313, 1250, 1470, true, 0},
    {"east of UTC across UTC midnight", kBrisbane, 0, 150, Utc(2024, 1, 1, 23, 0),
     360, 1087, 540, false, 0},
    {"west of UTC", kPitcairn, 0, -120, Utc(2024, 1, 1, 2, 0), 360, 1087, 1080, false, 0},
    {"far west of the zone's meridian", kTonga, 0, -172, Utc(2024, 1, 1, 0, 0),
     1828, 2555, 2220, false, 0},
    {"half-hour zone", kIndia, 20, 77.5f, Utc(2024, 1, 1, 0, 0), 423.56f, 1063, 330, true, 0.005f},
    {"southern summer", kSydney, -33.9f, 151.2f, Utc(2024, 1, 1, 20, 0),
     337.61f, 1220.04f, 420, false, 0.005f},
    {"polar-ish summer night", kHelsinki, 65, 25, Utc(2024, 6, 21, 21, 30),
     203.67f, 1400.67f, 1470, true, 0.005f},
    {"seconds count", kUtc, 0, 0, Utc(2024, 1, 1, 0, 0, 30), 360, 1087, 0.5f, true, 0},
    {"a second before sunrise", kUtc, 0, 0, Utc(2024, 1, 1, 5, 59, 59),
     360, 1087, 359.0f + 59.0f / 60.0f, true, 0},
    {"sunrise itself is day", kUtc, 0, 0, Utc(2024, 1, 1, 6, 0), 360, 1087, 360, false, 0},
    {"sunset itself is day", kUtc, 0, 0, Utc(2024, 1, 1, 18, 7), 360, 1087, 1087, false, 0},
    {"a second after sunset", kUtc, 0, 0, Utc(2024, 1, 1, 18, 7, 1),
     360, 1087, 1087.0f + 1.0f / 60.0f, true, 0},
    {"standard offset of 53 min 28 s east", kBerlinMean, 0, 0, Utc(2024, 1, 1, 0, 0),
     413, 1140, 53, true, 0},
    {"standard offset of 53 min 28 s west", kMeanWest, 0, 0, Utc(2024, 1, 1, 0, 0),
     307, 1034, 1387, true, 0},
    // Already 1 January locally; the UTC date still picks the row.
    {"31 December of a common year reads 364", kBrisbane, 0, 150, Utc(2023, 12, 31, 23, 0),
     359, 1086, 540, false, 0},
    {"31 December of a leap year reads 365", kBrisbane, 0, 150, Utc(2024, 12, 31, 23, 0),
     359, 1087, 540, false, 0},
};

void ExpectSun(const SunCase& c, float sunrise_min, float sunset_min, float now_min) {
    ExpectSunTimes(sunrise_min, sunset_min, c.sunrise_min, c.sunset_min, c.tolerance_min);
    EXPECT_FLOAT_EQ(now_min, c.now_min);
    EXPECT_EQ(IsNight(sunrise_min, sunset_min, now_min), c.night);
}

TEST_F(ClockTest, SunTimesOnTheLocalClock) {
    for (const SunCase& c : kSunCases) {
        SCOPED_TRACE(c.what);
        UseZone(c.tz);
        float sunrise_min = 0, sunset_min = 0, now_min = 0;
        GetSunTimeAt(c.instant, c.lat, c.lon, sunrise_min, sunset_min, now_min);
        ExpectSun(c, sunrise_min, sunset_min, now_min);
    }
}

TEST_F(ClockTest, StandardOffsetTruncatesTowardZero) {
    struct {
        const char* tz;
        int64_t offset_min;
    } const cases[] = {
        {kUtc, 0}, {kVienna, 60}, {kPitcairn, -480}, {kIndia, 330}, {kBerlinMean, 53}, {kMeanWest, -53},
    };
    for (const auto& c : cases) {
        setenv("TZ", c.tz, 1);   // GetGMTOffset must call tzset itself
        EXPECT_EQ(GetGMTOffset(), c.offset_min) << c.tz;
    }
}

// An instant that gmtime_r cannot break down is taken as 00:00 UTC on
// 1 January, at standard time.
TEST_F(ClockTest, UnbreakableInstantIsStartOfYear) {
    const time_t instants[] = {std::numeric_limits<time_t>::max(), std::numeric_limits<time_t>::min()};
    const SunCase cases[] = {
        {"UTC", kUtc, 0, 0, 0, 360, 1087, 0, true, 0},
        {"zone with summer time", kVienna, 45, 15, 0, 458, 988, 60, true, 0},
    };
    for (time_t instant : instants)
        for (const SunCase& c : cases) {
            SCOPED_TRACE(c.what);
            UseZone(c.tz);
            float sunrise_min = 0, sunset_min = 0, now_min = 0;
            GetSunTimeAt(instant, c.lat, c.lon, sunrise_min, sunset_min, now_min);
            ExpectSun(c, sunrise_min, sunset_min, now_min);
        }
}

// Late on the last day that UTC can represent, the local date east of UTC
// lies in a year that no longer fits, so localtime_r fails; the summer-time
// shift that Sydney would have in December is then left out.
TEST_F(ClockTest, FailedLocalBreakdownAddsNoSummerTime) {
    time_t ok = 0, bad = std::numeric_limits<time_t>::max();
    struct tm utc;
    while (bad - ok > 1) {
        time_t mid = ok + (bad - ok) / 2;
        (gmtime_r(&mid, &utc) ? ok : bad) = mid;
    }
    time_t instant = ok - 3600;   // 22:59:59 UTC on 31 December of a common year
    UseZone(kSydney);
    float sunrise_min = 0, sunset_min = 0, now_min = 0;
    GetSunTimeAt(instant, 0, 150, sunrise_min, sunset_min, now_min);
    ExpectSun({"", kSydney, 0, 150, instant, 359, 1086, 539.0f + 59.0f / 60.0f, false, 0},
              sunrise_min, sunset_min, now_min);
}

TEST_F(ClockTest, GetSunTimeReadsTheClock) {
    UseZone(kVienna);
    for (int attempt = 0; attempt < 5; attempt++) {
        time_t before = time(nullptr);
        float sunrise_min = 0, sunset_min = 0, now_min = 0;
        GetSunTime(48.2f, 16.4f, sunrise_min, sunset_min, now_min);
        if (time(nullptr) != before) continue;   // the second turned; try again
        float at_sunrise = 0, at_sunset = 0, at_now = 0;
        GetSunTimeAt(before, 48.2f, 16.4f, at_sunrise, at_sunset, at_now);
        EXPECT_EQ(sunrise_min, at_sunrise);
        EXPECT_EQ(sunset_min, at_sunset);
        EXPECT_EQ(now_min, at_now);
        return;
    }
    FAIL() << "the clock kept turning over";
}

}  // namespace
