// The user's settings: filled in at start-up, changed by the console.
#pragma once
#include <cstdint>

#include "constants.h"

extern float latitude;       // degrees north, or kUnset
extern float longitude;      // degrees east, or kUnset
extern uint64_t nighttemp;   // kelvins shown between sunset and sunrise
extern int nofork;           // nonzero: stay in the foreground, serve the console
