#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <optional>
#include <sstream>

#include "control/console.h"
#include "control/input.h"
#include "control/run.h"
#include "display/fade.h"
#include "unit.h"

// No system fails a fork on demand.
extern "C" pid_t fork() {
    errno = EAGAIN;
    return -1;
}

bool steal;   // another reader takes what waits just before the next read

extern "C" ssize_t read(int fd, void* buf, size_t size) {
    char taken[64];
    if (std::exchange(steal, false)) syscall(SYS_read, fd, taken, sizeof taken);
    return syscall(SYS_read, fd, buf, size);
}

namespace {

const std::string kFound = "Found 1 screen.\n";
const std::string kKelvin = "Your kelvin color is out of range. We support 2000-10000K.\n";
const std::string kUsage =
    "Usage: duskwarm [-z zipcode | -l latitude] [-g longitude] [-k colortemp (default 3400)] "
    "[-r 1 (use randr)] [-nofork]\nprotip: Say where you are (use -z or -l).\n\n";

std::string Guess(const char* degrees) {
    return std::string("Guessing your longitude is ") + degrees +
           " based on your timezone\nSpecify it with -g to make things better.\n" + kFound;
}

struct Start {
    const char* args;
    std::string out = kFound;        // after the greeting
    std::optional<int> status = {};  // the start ends with this status, or goes on
    float lat = 4;
    float lon = 2;
    uint64_t kelvin = 3400;
    int randr = 1;
    int foreground = 0;
    const char* tz = "UTC0";
};

const Start kStarts[] = {
    {.args = "-l -0", .out = "Your latitude is not a good number.\n", .status = -1},
    {.args = "-l 4 -g west", .out = "Your longitude is not a good number.\n", .status = -1},
    {.args = "-k 1999 -l x", .out = kKelvin, .status = -1},   // the first refusal only
    {.args = "-l 4 -k 10001", .out = kKelvin, .status = -1},
    {.args = "-z 12", .out = "Your zipcode didn't match any location we know about.\n",
     .status = -1},
    {.args = "-g 10", .out = kUsage, .status = 0},
    {.args = "-l inf -g 200", .lat = 65, .lon = 180},
    {.args = "-l -70 -g -inf", .lat = -65, .lon = -180},
    {.args = "-l nan -g 2 -k 2000", .lat = NAN, .kelvin = 2000},
    {.args = "-z 501", .lat = 40.922325f, .lon = -72.637077f},   // the first and the last
    {.args = "-z 99950", .lat = 55.542007f, .lon = -131.432678f},
    {.args = "-z 99791", .lat = 70.49469f, .lon = -157.441071f},   // not clamped
    {.args = "-z 4294977297 -l 50", .lat = 50, .lon = -73.996330f},   // 10001
    {.args = "-x 1 -l 4 -g 2 -r 0 -k 10000 -nofork", .kelvin = 10000, .randr = 0, .foreground = 1},
    {.args = "-l 4 -g 2 -nofork x"},
    {.args = "-l 4", .out = Guess("-75.0"), .lon = -75, .tz = "EST5EDT"},
    {.args = "-l 4", .out = Guess("82.5"), .lon = 82.5f, .tz = "IST-5:30"},
};

TEST(StartUp, OptionsLocationAndRefusals) {
    for (const Start& row : kStarts) {
        SCOPED_TRACE(row.args);
        UseZone(row.tz);
        std::vector<std::string> words{"duskwarm"};
        std::istringstream args(row.args);
        for (std::string word; args >> word;) words.push_back(word);
        int status = 7;
        int result = 7;
        const std::string out = Out([&] { result = StartWith(words, status); });
        EXPECT_TRUE(out.ends_with("running X on console.\n\n" + row.out)) << out;
        EXPECT_EQ(result, row.status ? -1 : 0);
        if (row.status) {
            EXPECT_EQ(status, *row.status);
            continue;
        }
        EXPECT_TRUE(std::isnan(row.lat) ? std::isnan(latitude) : latitude == row.lat) << latitude;
        EXPECT_EQ(longitude, row.lon);
        EXPECT_EQ(nighttemp, row.kelvin);
        EXPECT_EQ(useRANDR, row.randr);
        EXPECT_EQ(nofork, row.foreground);
    }
}

// One CRTC, a fade clock gaining `tick` s a reading, input a pipe `typed` writes to.
double tick;
int typed;

void SetUpConsole() {
    OneCrtc();
    nighttemp = 3400;
    nofork = 1;
    tick = 0.25;
    fadeclock = [] {
        static double clock_s = 0;
        return clock_s += tick;
    };
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ResetInput(fds[0]);
    typed = fds[1];
}

void Type(const std::string& text) {
    ASSERT_EQ(write(typed, text.data(), text.size()), ssize_t(text.size()));
}

std::string Say(const char* line, bool night = false) {
    return Out([&] { HandleLine(line, night); });
}

std::string Serve() {
    return Out([] { ServeConsole(false); });
}

TEST(Console, ANewNightTemperatureFadesThere) {
    SetUpConsole();
    tick = 0.5;
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3200, 3000, 2800, 2700}));
    EXPECT_EQ(lastcolor, 2700);
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(Fake().loads.size(), 4u);   // no fade to the temperature shown
    EXPECT_EQ(Say("k=-5\n"), "Colortemp=-5\n");
    EXPECT_EQ(Say("k\n"), "Colortemp=-5\n");
}

TEST(Console, APreviewCutShortOrInFull) {
    SetUpConsole();
    Type("c\n");
    EXPECT_EQ(Say("p\n", true), "");   // the typed line ends it on the other temperature
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3500, 6500}));
    EXPECT_EQ(Serve(), "Colortemp=6500\n");
    Fake().loads.clear();
    tick = 1.0;
    nighttemp = 2500;
    Say("p\n", true);
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3500, 4500, 5500, 6500, 5500, 4500, 3500, 2500}));
}

TEST(Console, InputTakenByAnotherReaderALineSplitAndTheEndOfInput) {
    SetUpConsole();
    Type("k\n");
    steal = true;
    alarm(1);   // ends a read that waits
    Serve();    // the line is gone: the read must not wait for it
    alarm(0);
    Type("l=1");
    EXPECT_EQ(Serve(), "");
    Type("5\nl");
    EXPECT_EQ(Serve(), "Latitude=15.0\n");
    close(typed);
    EXPECT_EQ(Serve(), "Latitude=15.0\n");   // the last line needs no newline
    EXPECT_EQ(haskb(), 0);
}

TEST(Console, ABackgroundFadeIgnoresInputAndEndsWhenTheClockGoesBack) {
    SetUpConsole();
    Type("c\n");
    nofork = 0;
    tick = -10;
    EXPECT_EQ(Animate(3000, 5000, 20), 0);
    EXPECT_EQ(LoadedKelvins(), std::vector<int>{2000});
}

TEST(Run, AFailedForkIsReportedAndNamesNoChild) {
    OneCrtc();
    nofork = 0;
    int result = 0;
    const std::string out = Out([&] { result = ::Run(); });
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(out.ends_with("\nCouldn't go to the background (Resource temporarily "
                              "unavailable); use -nofork to run in front.\n")) << out;
    EXPECT_EQ(out.find("Going"), std::string::npos);
}

std::chrono::steady_clock::time_point load_at[2];

// A signal 5 ms after the first load does not shorten the gap to the second.
TEST(Run, TheRestoreLoadsTheDayRampTwiceWithTheWholeGap) {
    OneCrtc();
    signal(SIGALRM, [](int) {});
    Fake().on_flush = [] {
        load_at[Fake().loads.size() - 1] = std::chrono::steady_clock::now();
        if (Fake().loads.size() == 1) ualarm(5000, 0);
    };
    RestoreDay();
    EXPECT_EQ(LoadedKelvins(), std::vector<int>(2, 6500));
    EXPECT_GE(load_at[1] - load_at[0], std::chrono::milliseconds(20));
}

}  // namespace
