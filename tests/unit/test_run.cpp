#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "control/run.h"
#include "control/settings.h"
#include "display/gamma.h"
#include "fake_x.h"

// Stands in for libc's fork in this test program: the run start must cope
// with a fork that fails, which no real system shows on demand.
extern "C" pid_t fork() {
    errno = EAGAIN;
    return -1;
}

namespace {

TEST(RunStart, FailedForkIsReportedAndNoChildIsNamed) {
    ResetFake();
    FakeScreens({256}, 2);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_EQ(FindScreens(nullptr), 0);
    latitude = 40.0f;
    longitude = -74.0f;
    nighttemp = 3400;
    nofork = 0;
    int status = ::Run();
    std::string out = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, -1);
    EXPECT_EQ(out.rfind("Found 1 screen.\nYour location (lat, long) is 40.0, -74.0\n\n"
                        "Your night-time color temperature is 3400\n", 0), 0u) << out;
    EXPECT_NE(out.find("Couldn't go to the background (Resource temporarily unavailable); "
                       "use -nofork to run in front.\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Going to background"), std::string::npos);
    EXPECT_TRUE(Fake().loads.empty());   // nothing was loaded in the parent
}

}  // namespace
