// The user's settings: filled in at start-up, changed by the console.
#pragma once
#include <cstdint>

// A latitude or longitude of exactly this value means "not given".
constexpr float kUnset = -1000.0f;
// Day temperature, and the one restored on exit.
constexpr int kDayKelvin = 6500;

extern float latitude;       // degrees north
extern float longitude;      // degrees east
extern uint64_t nighttemp;   // kelvins shown between sunset and sunrise
extern int nofork;           // nonzero: stay in the foreground, serve the console
