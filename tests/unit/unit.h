#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "display/ramp.h"
#include "fake_x.h"

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

// The lowest table temperature of each load's colour, or -1.
inline std::vector<int> LoadedKelvins() {
    std::vector<int> kelvins;
    for (const FakeLoad& l : Fake().loads) {
        const uint32_t rgb = ColourOf(l.red, l.green, l.blue, l.red.size());
        const int e = int(std::find(KelvinToRGB, KelvinToRGB + kKelvinEntries, rgb) - KelvinToRGB);
        kelvins.push_back(e < kKelvinEntries ? 1000 + 100 * e : -1);
    }
    return kelvins;
}
