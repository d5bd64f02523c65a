#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sun/suntable.h"
#include "sun_expect.h"

namespace {

struct NamedTable {
    const char* name;
    const int* values;
};

const NamedTable kTables[] = {
    {"gmt0", gmt0},   {"gmt0set", gmt0set}, {"gmt45", gmt45},
    {"gmt45set", gmt45set}, {"gmt60", gmt60}, {"gmt60set", gmt60set},
};

// --- The tables -------------------------------------------------------------

struct Row {
    int day;
    int hhmm[6];   // in the order of kTables
};

// Rows that pin the solstices, equinoxes, the leap day and the ends of the year.
const Row kRows[] = {
    {0, {600, 1807, 738, 1628, 903, 1504}},
    {1, {600, 1808, 738, 1629, 902, 1506}},
    {59, {609, 1816, 639, 1746, 700, 1726}},
    {79, {604, 1811, 603, 1813, 601, 1815}},
    {172, {558, 1806, 413, 1950, 236, 2128}},
    {182, {600, 1808, 417, 1950, 242, 2125}},
    {265, {549, 1756, 547, 1757, 545, 1759}},
    {355, {555, 1802, 735, 1621, 902, 1454}},
    {365, {559, 1807, 738, 1628, 903, 1504}},
};

TEST(SunTables, RowsOfKnownDates) {
    for (const Row& row : kRows)
        for (int t = 0; t < 6; t++)
            EXPECT_EQ(kTables[t].values[row.day], row.hhmm[t])
                << kTables[t].name << "[" << row.day << "]";
}

using Spans = std::vector<std::pair<int, int>>;

struct Extreme {
    int hhmm;
    Spans days;   // inclusive index ranges where the value occurs
};

struct TableRange {
    int table;
    Extreme smallest;
    Extreme largest;
};

const TableRange kRanges[] = {
    {0, {540, {{300, 314}}}, {611, {{36, 49}}}},
    {1, {1747, {{298, 314}}}, {1818, {{36, 46}}}},
    {2, {413, {{160, 172}}}, {738, {{0, 8}, {361, 365}}}},
    {3, {1618, {{341, 346}}}, {1951, {{173, 181}}}},
    {4, {236, {{166, 173}}}, {904, {{360, 361}}}},
    {5, {1453, {{347, 352}}}, {2128, {{171, 176}}}},
};

bool InSpans(const Spans& spans, int day) {
    for (auto [first, last] : spans)
        if (day >= first && day <= last) return true;
    return false;
}

// The extreme values and exactly the days on which they occur.
TEST(SunTables, ExtremesAndTheirDays) {
    for (const TableRange& range : kRanges) {
        const NamedTable& table = kTables[range.table];
        for (int day = 0; day < kSunDays; day++) {
            int v = table.values[day];
            EXPECT_GE(v, range.smallest.hhmm) << table.name << "[" << day << "]";
            EXPECT_LE(v, range.largest.hhmm) << table.name << "[" << day << "]";
            EXPECT_EQ(v == range.smallest.hhmm, InSpans(range.smallest.days, day))
                << table.name << "[" << day << "] = " << v;
            EXPECT_EQ(v == range.largest.hhmm, InSpans(range.largest.days, day))
                << table.name << "[" << day << "] = " << v;
        }
    }
}

TEST(SunTables, EveryValueIsAClockTime) {
    for (const NamedTable& table : kTables)
        for (int day = 0; day < kSunDays; day++) {
            int v = table.values[day];
            EXPECT_TRUE(v >= 0 && v < 2400 && v % 100 < 60) << table.name << "[" << day << "] = " << v;
        }
}

// --- HM ---------------------------------------------------------------------

TEST(SunTables, HMConvertsClockTimesToMinutes) {
    const std::pair<int, int> cases[] = {
        {0, 0}, {738, 458}, {2128, 1288}, {2359, 1439}, {-130, -90}, {59, 59},
    };
    for (auto [hhmm, minutes] : cases) EXPECT_EQ(HM(hhmm), minutes) << hhmm;
}

// --- GetSunTimePM -----------------------------------------------------------

struct PMCase {
    const char* what;
    float lat;
    int day;
    float sunrise_min;
    float sunset_min;
    float tolerance_min;   // 0: equal to within a few float ulps
};

const PMCase kPMCases[] = {
    {"equator gives the 0 tables", 0.0f, 0, 360.0f, 1087.0f, 0},
    {"45 takes the upper line at f = 0", 45.0f, 0, 458.0f, 988.0f, 0},
    {"60 gives the 60 tables", 60.0f, 0, 543.0f, 904.0f, 0},
    {"just below 45 stays on the lower line", 44.999f, 172, 253.0023f, 1189.9977f, 0.00005f},
    {"between 0 and 45", 30.0f, 172, 288.0f, 1155.3334f, 0},
    {"between 45 and 60", 52.5f, 172, 204.5f, 1239.0f, 0},
    {"beyond 60 extends the 45-60 line", 65.0f, 172, 123.66666f, 1320.6666f, 0},
    {"beyond 60 in winter", 65.0f, 355, 571.0f, 865.0f, 0},
    {"the pole leaves the day unclamped", 90.0f, 172, -38.0f, 1484.0f, 0},
    {"south, day 0 reads index 182", -45.0f, 0, 257.0f, 1190.0f, 0},
    {"south, day 183 reads index 365", -45.0f, 183, 458.0f, 988.0f, 0},
    {"south, day 184 reads index 1", -45.0f, 184, 458.0f, 989.0f, 0},
    {"south, day 365 reads index 182", -45.0f, 365, 257.0f, 1190.0f, 0},
    {"south between 0 and 45", -33.9f, 0, 282.41f, 1164.84f, 0.005f},
    {"negative zero is northern", -0.0f, 0, 360.0f, 1087.0f, 0},
    {"a day past the year reads the last day", 30.0f, 400, 425.0f, 1021.0f, 0},
    {"south clamps before it shifts", -45.0f, 400, 257.0f, 1190.0f, 0},
};

TEST(GetSunTimePM, LatitudesAndDays) {
    for (const PMCase& c : kPMCases) {
        SCOPED_TRACE(c.what);
        float sunrise_min = 0, sunset_min = 0;
        GetSunTimePM(c.lat, c.day, sunrise_min, sunset_min);
        ExpectSunTimes(sunrise_min, sunset_min, c.sunrise_min, c.sunset_min, c.tolerance_min);
    }
}

}  // namespace
