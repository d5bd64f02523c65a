#include <cerrno>
#include <csignal>

#include "control/run.h"
#include "control/settings.h"
#include "display/gamma.h"
#include "unit.h"

// Stands in for libc's fork in this test program: no system fails a fork on demand.
extern "C" pid_t fork() { return errno = EAGAIN, -1; }

namespace {

TEST(RunStart, AFailedForkIsReportedAndNamesNoChild) {
    ResetFake({{256, {256}}});
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    FindScreens(nullptr);
    latitude = 40.0f, longitude = -74.0f, nofork = 0;
    EXPECT_EQ(::Run(), -1);
    testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.ends_with("\nCouldn't go to the background (Resource temporarily unavailable); use -nofork to run "
                              "in front.\n")) << out;
    EXPECT_EQ(out.find("Going"), std::string::npos);
}

timespec first_load;

// A second SIGTERM comes 5 ms after the first restore load; the second load
// must still come the whole 20 ms later.
void AfterLoad() {
    if (Fake().loads.size() == 1) {
        clock_gettime(CLOCK_MONOTONIC, &first_load);
        timer_t again;
        sigevent ev{};
        ev.sigev_notify = SIGEV_SIGNAL;
        ev.sigev_signo = SIGTERM;
        const itimerspec in_5_ms = {{0, 0}, {0, 5000000}};
        timer_create(CLOCK_MONOTONIC, &ev, &again), timer_settime(again, 0, &in_5_ms, nullptr);
        return;
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double gap_s = now.tv_sec - first_load.tv_sec + (now.tv_nsec - first_load.tv_nsec) * 1e-9;
    fprintf(stderr, "%s gap, %s\n", gap_s >= 0.0199 ? "whole" : "short",
            LoadedKelvins() == std::vector<int>(2, 6500) ? "6500 K twice" : "wrong loads");
}

TEST(Shutdown, RestoresTwiceWithTheWholeGap) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");   // no fork in this program
    EXPECT_EXIT(
        {
            ResetFake({{256, {256}}});
            FindScreens(nullptr);
            InstallHandlers();
            Fake().on_flush = AfterLoad;
            raise(SIGTERM);
            PauseMicro(1000000);
        },
        testing::ExitedWithCode(0), "whole gap, 6500 K twice\n");
}

}  // namespace
