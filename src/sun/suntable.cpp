// Sunrise and sunset at any latitude, interpolated between the tables for
// 0, 45 and 60 degrees north.
#include "sun/suntable.h"

namespace {

// The southern hemisphere sees the northern sky of half a year later. Index 0
// is never produced: 183 is subtracted so that day 184 reads index 1.
int SouthernIndex(int day) { return day + 182 < kSunDays ? day + 182 : day - 183; }

// a + (b - a) * f with the difference taken in integer minutes and the rest in
// single precision, one operation at a time.
float Interpolate(int a_min, int b_min, float f) {
    float diff_min = static_cast<float>(b_min - a_min);
    float step_min = diff_min * f;
    return static_cast<float>(a_min) + step_min;
}

}  // namespace

int HM(int v) { return v - 40 * (v / 100); }

void GetSunTimePM(float lat, int day, float& sunrise, float& sunset) {
    if (day > kSunDays - 1) day = kSunDays - 1;
    if (lat < 0.0f) {
        lat = -lat;
        day = SouthernIndex(day);
    }
    // Callers pass a UTC day of the year; a negative day has no entry, so it
    // reads the first one rather than memory before the tables.
    if (day < 0) day = 0;

    int rise0_min = HM(gmt0[day]), set0_min = HM(gmt0set[day]);
    int rise45_min = HM(gmt45[day]), set45_min = HM(gmt45set[day]);
    int rise60_min = HM(gmt60[day]), set60_min = HM(gmt60set[day]);

    // Below 45 degrees the 0-45 line; from 45 up the 45-60 line, extended
    // unclamped beyond 60 degrees.
    if (lat < 45.0f) {
        float f = lat / 45.0f;
        sunrise = Interpolate(rise0_min, rise45_min, f);
        sunset = Interpolate(set0_min, set45_min, f);
    } else {
        float above_deg = lat - 45.0f;
        float f = above_deg / 15.0f;
        sunrise = Interpolate(rise45_min, rise60_min, f);
        sunset = Interpolate(set45_min, set60_min, f);
    }
}
