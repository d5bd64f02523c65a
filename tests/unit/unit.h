// Helpers shared by the unit tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "display/ramp.h"
#include "fake_x.h"

// Lets a test set TZ, and puts the caller's back afterwards.
class ZoneTest : public testing::Test {
  protected:
    static void UseZone(const char* tz) { setenv("TZ", tz, 1), tzset(); }
    void TearDown() override { had_ ? setenv("TZ", saved_.c_str(), 1) : unsetenv("TZ"), tzset(); }

  private:
    bool had_ = getenv("TZ") != nullptr;
    std::string saved_ = had_ ? getenv("TZ") : "";
};

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

// The lowest table temperature whose colour each load ends on, or -1.
inline std::vector<int> LoadedKelvins() {
    std::vector<int> kelvins;
    for (const FakeLoad& l : Fake().loads) {
        const uint32_t rgb = (l.red.back() / 257u) << 16 | (l.green.back() / 257u) << 8 | l.blue.back() / 257u;
        int e = 0;
        while (e < kKelvinEntries && KelvinToRGB[e] != rgb) e++;
        kelvins.push_back(e < kKelvinEntries ? 1000 + 100 * e : -1);
    }
    return kelvins;
}
