#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

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

// A server of one screen with one 256-entry CRTC, found.
inline void OneCrtc() {
    ResetFake({{256, {256}}});
    Out([] { FindScreens(nullptr); });
}
