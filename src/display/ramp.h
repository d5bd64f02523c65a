// Blackbody colour table and the gamma ramp builder.
#pragma once
#include <cstdint>

constexpr int kKelvinEntries = 391;   // 1000 K to 40000 K in steps of 100 K
extern const uint32_t KelvinToRGB[kKelvinEntries];   // 0x00RRGGBB

// Fills n entries of each ramp with a straight line from 0 to the channel's
// share of full scale at temperature k. Returns -1, writing nothing, when k
// lies outside the table; 0 otherwise (n <= 0 writes nothing).
int MakeTables(float k, uint16_t* red, uint16_t* green, uint16_t* blue, int n);
