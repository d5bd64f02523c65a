// Helpers shared by the unit tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "display/ramp.h"
#include "fake_x.h"

// Every test that reads the local clock sets its zone first.
inline void UseZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

// What f writes to standard output, and to standard error when asked.
template <typename F>
std::string Out(F f, std::string* err = nullptr) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    const std::string errors = testing::internal::GetCapturedStderr();
    if (err) *err = errors;
    return testing::internal::GetCapturedStdout();
}

// The colour (0xRRGGBB) that ramps of n entries end on.
inline uint32_t ColourOf(const uint16_t* red, const uint16_t* green, const uint16_t* blue, int n) {
    return red[n - 1] / 257u << 16 | green[n - 1] / 257u << 8 | blue[n - 1] / 257u;
}

// The lowest table temperature of each load's colour, or -1.
inline std::vector<int> LoadedKelvins() {
    std::vector<int> kelvins;
    for (const FakeLoad& l : Fake().loads) {
        const int n = int(l.red.size());
        const uint32_t rgb = ColourOf(l.red.data(), l.green.data(), l.blue.data(), n);
        const int e = int(std::find(KelvinToRGB, KelvinToRGB + kKelvinEntries, rgb) - KelvinToRGB);
        kelvins.push_back(e < kKelvinEntries ? 1000 + 100 * e : -1);
    }
    return kelvins;
}
