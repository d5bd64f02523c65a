// Today's sunrise and sunset on the local wall clock at the user's longitude,
// and the time now on the same clock, for the night test.
#include "sun/clock.h"

#include "constants.h"
#include "sun/suntable.h"

namespace {

constexpr float kDayMin = 1440.0f;

// The breakdown used when the instant cannot be broken down as UTC (its year
// does not fit in an int): 00:00:00 on 1 January, day index 0. Every field the
// schedule reads is then in range, so the tables are never indexed with
// garbage; the instant is handled like the start of a year at standard time.
struct tm UtcOrYearStart(time_t t) {
    struct tm utc {};
    if (!gmtime_r(&t, &utc)) utc = tm{};
    return utc;
}

// Minutes east of UTC of the zone's standard time. timezone holds seconds
// west; the division truncates toward zero, so -3208 s gives 53, not 54.
long StandardOffsetMin() {
    tzset();
    return -(timezone / 60);
}

// Whole minutes by which the local clock at t runs ahead of standard time,
// counted only in zones that have summer time at all. A local breakdown that
// fails adds nothing, as in a zone without summer time.
float SummerShiftMin(time_t t, float std_offset_min) {
    struct tm local {};
    if (!localtime_r(&t, &local) || daylight == 0) return 0.0f;
    float local_offset_min = static_cast<float>(local.tm_gmtoff / 60);
    float shift_min = local_offset_min - std_offset_min;
    return static_cast<float>(static_cast<int>(shift_min));
}

// UTC clock plus the standard offset, brought up by a day when west of UTC
// puts it before midnight.
float StandardClockMin(const struct tm& utc, float std_offset_min) {
    float now_min = static_cast<float>(utc.tm_hour * 60 + utc.tm_min);
    now_min += static_cast<float>(utc.tm_sec) / 60.0f;
    now_min += std_offset_min;
    if (now_min < 0.0f) now_min += kDayMin;
    return now_min;
}

}  // namespace

int64_t GetGMTOffset() { return StandardOffsetMin(); }

void GetSunTimeAt(time_t t, float lat, float lon, float& sunrise, float& sunset, float& now) {
    // The UTC date picks the table row, whatever the local date is.
    struct tm utc = UtcOrYearStart(t);
    GetSunTimePM(lat, utc.tm_yday, sunrise, sunset);

    float std_offset_min = static_cast<float>(static_cast<int32_t>(StandardOffsetMin()));

    // Four minutes per degree from longitude 0 to the user's, then from UTC to
    // standard time. Without a longitude the times stay on the zone's meridian.
    if (lon != kUnset) {
        float shift_min = lon * 4.0f - std_offset_min;
        sunrise -= shift_min;
        sunset -= shift_min;
    }

    now = StandardClockMin(utc, std_offset_min);

    float summer_min = SummerShiftMin(t, std_offset_min);
    sunrise += summer_min;
    sunset += summer_min;
    now += summer_min;

    // Sunrise and sunset stay where the shifts put them; now moves by a day to
    // sit against them. East of UTC it can run more than a day past sunrise;
    // far west of the zone's meridian sunset can lie more than a day ahead.
    if (now - sunrise > kDayMin) now -= kDayMin;
    if (sunset - now > kDayMin) now += kDayMin;
}

void GetSunTime(float lat, float lon, float& sunrise, float& sunset, float& now) {
    GetSunTimeAt(time(nullptr), lat, lon, sunrise, sunset, now);
}

bool IsNight(float sunrise, float sunset, float now) { return now < sunrise || now > sunset; }
