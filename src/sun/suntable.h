// Sunrise and sunset by latitude, from compiled-in tables.
#pragma once

constexpr int kSunDays = 366;
// HHMM times at longitude 0 (UTC) for each day index of a leap year.
extern const int gmt0[kSunDays], gmt0set[kSunDays];
extern const int gmt45[kSunDays], gmt45set[kSunDays];
extern const int gmt60[kSunDays], gmt60set[kSunDays];

// HHMM to minutes after midnight.
int HM(int v);

// Sunrise and sunset in minutes after midnight UTC at longitude 0.
void GetSunTimePM(float lat, int day, float& sunrise, float& sunset);
