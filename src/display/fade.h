// Timed fades between two colour temperatures.
#pragma once
#include <cstdint>

extern int64_t lastcolor;   // target of the most recent fade, initially 6500

// Wall-clock time in seconds.
double getmicro();

// Clock used by fades; tests may point it elsewhere.
extern double (*fadeclock)();

// Fades every screen from start to target kelvins over duration seconds,
// one load every step. Returns -1 when waiting console input cut the
// fade short (after loading the target), 0 otherwise.
int Animate(int32_t start, int32_t target, int32_t duration);
