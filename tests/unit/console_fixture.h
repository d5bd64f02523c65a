// Shared set-up for tests that fade or read the console: a fake server of
// one 256 screen with one CRTC, a scripted clock, and a pipe as standard input.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "control/input.h"
#include "control/settings.h"
#include "display/fade.h"
#include "display/gamma.h"
#include "fake_x.h"
#include "load_check.h"

class ConsoleTest : public testing::Test {
  protected:
    static inline double clock_s = 0;
    static inline double tick_s = 0;
    static inline std::vector<double> script;   // readings to give before ticking

    static double FakeClock() {
        if (!script.empty()) {
            clock_s = script.front();
            script.erase(script.begin());
            return clock_s;
        }
        return clock_s += tick_s;
    }

    void SetUp() override {
        ResetFake();
        FakeScreens({256}, 1);
        useRANDR = 1;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        ASSERT_EQ(FindScreens(nullptr), 0);
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        latitude = 40.0f;
        longitude = -74.0f;
        nighttemp = 3400;
        nofork = 1;
        lastcolor = 6500;
        clock_s = 1000.0;
        tick_s = 0.25;
        script.clear();
        fadeclock = FakeClock;
        ASSERT_EQ(pipe(fds_), 0);
        ResetInput(fds_[0]);
    }
    void TearDown() override {
        fadeclock = getmicro;
        CloseWriter();
        close(fds_[0]);
        ResetInput(0);
    }
    void Type(const std::string& text) { ASSERT_EQ(write(fds_[1], text.data(), text.size()), (ssize_t)text.size()); }
    void CloseWriter() {
        if (fds_[1] >= 0) close(fds_[1]);
        fds_[1] = -1;
    }
    static std::vector<int> LoadedKelvins() {
        std::vector<int> k;
        for (const FakeLoad& l : Fake().loads) k.push_back(LoadKelvin(l));
        return k;
    }

  private:
    int fds_[2] = {-1, -1};
};
