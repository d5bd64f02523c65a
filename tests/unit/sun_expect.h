// Comparing computed sunrise and sunset with expected minutes.
#pragma once
#include <gtest/gtest.h>

// Exact to float precision when tolerance_min is 0, else within it.
inline void ExpectSunTimes(float sunrise_min, float sunset_min, float want_sunrise_min, float want_sunset_min,
                           float tolerance_min) {
    if (tolerance_min == 0) {
        EXPECT_FLOAT_EQ(sunrise_min, want_sunrise_min);
        EXPECT_FLOAT_EQ(sunset_min, want_sunset_min);
    } else {
        EXPECT_NEAR(sunrise_min, want_sunrise_min, tolerance_min);
        EXPECT_NEAR(sunset_min, want_sunset_min, tolerance_min);
    }
}
