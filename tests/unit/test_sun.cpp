#include "constants.h"
#include "sun/clock.h"
#include "sun/suntable.h"
#include "unit.h"

namespace {

TEST(SunTables, TellingRows) {
    const int* tables[] = {gmt0, gmt0set, gmt45, gmt45set, gmt60, gmt60set};
    const struct { int day; std::vector<int> hhmm; } rows[] = {
        {0, {600, 1807, 738, 1628, 903, 1504}},   {1, {600, 1808, 738, 1629, 902, 1506}},
        {59, {609, 1816, 639, 1746, 700, 1726}},  {79, {604, 1811, 603, 1813, 601, 1815}},
        {172, {558, 1806, 413, 1950, 236, 2128}}, {182, {600, 1808, 417, 1950, 243, 2125}},
        {265, {549, 1756, 547, 1757, 545, 1759}}, {355, {555, 1802, 735, 1621, 902, 1454}},
        {365, {559, 1807, 738, 1628, 903, 1504}},
    };
    for (const auto& row : rows)
        for (int t = 0; t < 6; t++) EXPECT_EQ(tables[t][row.day], row.hhmm[t]) << "table " << t << ", day " << row.day;
}

TEST(SunTimePM, LatitudesAndDays) {
    const struct { float lat; int day; float sunrise, sunset; } rows[] = {
        {0, 0, 360, 1087},      {45, 0, 458, 988},      {60, 0, 543, 904},      {44.999f, 172, 253.0023f, 1189.9977f},
        {30, 172, 288, 1155.3334f}, {52.5f, 172, 204.5f, 1239}, {65, 172, 123.66666f, 1320.6666f},
        {90, 172, -38, 1484},   {-45, 0, 257, 1190},    {-45, 183, 458, 988},   {-45, 184, 458, 989},
        {-45, 365, 257, 1190},  {-33.9f, 0, 282.41f, 1164.84f}, {-0.0f, 0, 360, 1087}, {30, 400, 425, 1021},
    };
    for (const auto& r : rows) {
        float sunrise = 0, sunset = 0;
        GetSunTimePM(r.lat, r.day, sunrise, sunset);
        EXPECT_NEAR(sunrise, r.sunrise, 0.005f) << r.lat << " on day " << r.day;
        EXPECT_NEAR(sunset, r.sunset, 0.005f) << r.lat << " on day " << r.day;
    }
}

using ClockTest = ZoneTest;

// POSIX rules of real places, so that nothing depends on the zone files installed.
TEST_F(ClockTest, SunTimesOnTheLocalClock) {
    const char *vienna = "CET-1CEST,M3.5.0,M10.5.0/3", *brisbane = "AEST-10";
    const time_t jan1 = 1704067200, jun21 = jan1 + 172 * 86400, h = 3600;   // 2024, a leap year
    const struct { const char* tz; float lat, lon; time_t t; float sunrise, sunset, now; bool night; } rows[] = {
        {vienna, 45, 15, jan1 + 12 * h, 458, 988, 780, false},
        {vienna, 45, 15, jun21 + 12 * h, 313, 1250, 840, false},
        {vienna, 45, kUnset, jun21 + 12 * h, 313, 1250, 840, false},
        {vienna, 45, 15, jun21 + 22 * h + 1800, 313, 1250, 1470, true},
        {brisbane, 0, 150, jan1 + 23 * h, 360, 1087, 540, false},
        {brisbane, 0, 150, jan1 + 366 * 86400 - h, 359, 1087, 540, false},   // 31 December reads index 365
        {"<-08>8", 0, -120, jan1 + 2 * h, 360, 1087, 1080, false},
        {"<+13>-13", 0, -172, jan1, 1828, 2555, 2220, false},
        {"UTC0", 0, 0, jan1 + 30, 360, 1087, 0.5f, true},
        {"UTC0", 0, 0, jan1 + 6 * h, 360, 1087, 360, false},
        {"UTC0", 0, 0, jan1 + 18 * h + 420, 360, 1087, 1087, false},
        {"LMT-0:53:28", 0, 0, jan1, 413, 1140, 53, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.tz << " at " << r.t << ", longitude " << r.lon);
        UseZone(r.tz);
        float sunrise = 0, sunset = 0, now = 0;
        GetSunTimeAt(r.t, r.lat, r.lon, sunrise, sunset, now);
        EXPECT_NEAR(sunrise, r.sunrise, 0.005f);
        EXPECT_NEAR(sunset, r.sunset, 0.005f);
        EXPECT_FLOAT_EQ(now, r.now);
        EXPECT_EQ(IsNight(sunrise, sunset, now), r.night);
    }
}

}  // namespace
