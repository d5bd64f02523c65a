// Local clock and the night test.
#pragma once
#include <cstdint>
#include <ctime>

// Standard-time offset of the local zone in minutes east of UTC.
int64_t GetGMTOffset();

// Today's sunrise, sunset and the time now, in minutes after local midnight,
// for the instant t. A longitude of -1000 means "use the zone's meridian".
void GetSunTimeAt(time_t t, float lat, float lon, float& sunrise, float& sunset, float& now);

// The same for the current instant.
void GetSunTime(float lat, float lon, float& sunrise, float& sunset, float& now);

// Night is strictly before sunrise or strictly after sunset.
bool IsNight(float sunrise, float sunset, float now);
