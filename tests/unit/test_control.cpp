// Start-up, the console, fades and the run: against the fake X layer.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>

#include "control/console.h"
#include "control/input.h"
#include "control/run.h"
#include "control/settings.h"
#include "control/startup.h"
#include "display/fade.h"
#include "display/gamma.h"
#include "unit.h"

// Stands in for libc's fork in this test program: no system fails a fork on demand.
extern "C" pid_t fork() { return errno = EAGAIN, -1; }

namespace {

const std::string kFound = "Found 1 screen.\n", kLat = "Your latitude is not a good number.\n",
                  kLon = "Your longitude is not a good number.\n", kZip = "Your zipcode didn't match any location we know about.\n",
                  kKelvin = "Your kelvin color is out of range. We support 2000-10000K.\n",
                  kUsage = "Usage: duskwarm [-z zipcode | -l latitude] [-g longitude] [-k colortemp (default 3400)] "
                           "[-r 1 (use randr)] [-nofork]\nprotip: Say where you are (use -z or -l).\n\n";

std::string Guess(const char* deg) {
    return std::string("Guessing your longitude is ") + deg +
           " based on your timezone\nSpecify it with -g to make things better.\n" + kFound;
}

struct Row {
    std::vector<std::string> args;
    int status;   // 1: the start goes on
    std::string out;
    float lat = 0, lon = 0;
    uint64_t kelvin = 3400;
    int randr = 1, foreground = 0;
    const char* tz = "UTC0";
} const kRows[] = {
    {{"-l", "x"}, -1, kLat},
    {{"-l", "-0"}, -1, kLat},
    {{"-l", "40", "-g", "west"}, -1, kLon},
    {{"-k", "1999", "-l", "40"}, -1, kKelvin},
    {{"-l", "40", "-k", "10001"}, -1, kKelvin},
    {{"-z", "12"}, -1, kZip},
    {{"-k", "99", "-l", "x"}, -1, kKelvin},
    {{}, 0, kUsage},
    {{"-g", "10"}, 0, kUsage},
    {{"-nofork", "-l", "40"}, 0, kUsage},
    {{"-l", "inf", "-g", "200"}, 1, kFound, 65, 180},
    {{"-l", "-70", "-g", "-inf"}, 1, kFound, -65, -180},
    {{"-l", "0", "-g", "0.0"}, 1, kFound, 0, 0},
    {{"-l", "nan", "-g", "1"}, 1, kFound, NAN, 1},
    {{"-l", "40", "-g", "1", "-k", "2000"}, 1, kFound, 40, 1, 2000},
    {{"-l", "40", "-g", "1", "-k", "10000"}, 1, kFound, 40, 1, 10000},
    {{"-z", "02134"}, 1, kFound, 42.357170f, -71.112648f},
    {{"-z", "501"}, 1, kFound, 40.922325f, -72.637077f},
    {{"-z", "99950"}, 1, kFound, 55.542007f, -131.432678f},
    {{"-z", "10001", "-l", "50"}, 1, kFound, 50, -73.996330f},
    {{"-z", "4294977297"}, 1, kFound, 40.750423f, -73.996330f},
    {{"-z", "99791"}, 1, kFound, 70.49469f, -157.441071f},
    {{"-x", "1", "-l", "40", "-g", "2", "-r", "0", "-nofork"}, 1, kFound, 40, 2, 3400, 0, 1},
    {{"-l", "40", "-g", "2", "-nofork", "x"}, 1, kFound, 40, 2},
    {{"-l", "40"}, 1, Guess("-75.0"), 40, -75, 3400, 1, 0, "EST5EDT,M3.2.0,M11.1.0"},
    {{"-l", "40"}, 1, Guess("82.5"), 40, 82.5f, 3400, 1, 0, "IST-5:30"},
};

using StartUpTest = ZoneTest;

TEST_F(StartUpTest, OptionsLocationAndRefusals) {
    for (const Row& r : kRows) {
        std::vector<std::string> args = r.args;
        args.insert(args.begin(), "duskwarm");
        SCOPED_TRACE(testing::PrintToString(args));
        UseZone(r.tz);
        latitude = longitude = kUnset, nighttemp = 3400, nofork = 0, useRANDR = 1;
        ResetFake({{256, {256}}});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int status = 1;
        EXPECT_EQ(Out([&] { StartUp(static_cast<int>(args.size()), argv.data(), status); }),
                  "\x1b[2J\x1b[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\n"
                  "This will only work if you're running X on console.\n\n" + r.out);
        EXPECT_EQ(status, r.status);
        if (r.status != 1) continue;
        EXPECT_TRUE(std::isnan(r.lat) ? std::isnan(latitude) : latitude == r.lat) << latitude;
        EXPECT_EQ(std::vector<double>({longitude, double(nighttemp), double(useRANDR), double(nofork)}),
                  std::vector<double>({r.lon, double(r.kelvin), double(r.randr), double(r.foreground)}));
    }
}

// The console and fades run against a fake server of one CRTC, a clock that
// gains tick_s a reading, and a pipe for standard input.
double clock_s, tick_s;

class ConsoleTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetFake({{256, {256}}});
        Out([] { FindScreens(nullptr); });
        latitude = 40.0f, longitude = -74.0f, nighttemp = 3400, nofork = 1, lastcolor = 6500;
        clock_s = 1000, tick_s = 0.25;
        fadeclock = [] { return clock_s += tick_s; };
        ASSERT_EQ(pipe(fds_), 0);
        ResetInput(fds_[0]);
    }
    void TearDown() override { close(fds_[0]), close(fds_[1]); }
    void Type(const std::string& text) { ASSERT_EQ(write(fds_[1], text.data(), text.size()), ssize_t(text.size())); }
    void EndInput() { close(fds_[1]), fds_[1] = -1; }
    static std::string Say(const char* line, bool night = false) { return Out([&] { HandleLine(line, night); }); }
    static std::string Serve() { return Out([] { ServeConsole(false); }); }
    int fds_[2] = {-1, -1};
};

TEST_F(ConsoleTest, CommandsAndQueries) {
    const struct { const char* line; const char* reply; } rows[] = {
        {"l=80\n", "Latitude=65.0\n"},      {"l=-90\n", "Latitude=-65.0\n"}, {"l= 12.34\n", "Latitude=12.3\n"},
        {"l=nan\n", "Latitude=nan\n"},      {"g=-200\n", "Longitude=-180.0\n"}, {"g=200\n", "Longitude=180.0\n"},
        {"z=02134\n", "ZIPCode=2134\nLatitude=42.4\nLongitude=-71.1\n"},      {"z=12\n", "ZIPCode=notfound\n"},
        {"l=x\n", "Latitude=42.4\n"},       {"g\n", "Longitude=-71.1\n"},    {"kelvin\n", "Colortemp=3400\n"},
        {"k = 3000\n", "Colortemp=3400\n"}, {"c\n", "Colortemp=6500\n"},     {"x=5\n", ""},
    };
    for (auto [line, reply] : rows) EXPECT_EQ(Say(line), reply) << line;
}

TEST_F(ConsoleTest, NewNightTemperatureFadesFirst) {
    tick_s = 0.5;
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3200, 3000, 2800, 2700}));
    EXPECT_EQ(lastcolor, 2700);
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(Fake().loads.size(), 4u);   // no fade to the value already set
    EXPECT_EQ(Say("k=-5\n"), "Colortemp=-5\n");
    EXPECT_EQ(Say("k\n"), "Colortemp=-5\n");
}

TEST_F(ConsoleTest, PreviewCutShortOrInFull) {
    Type("\n");
    EXPECT_EQ(Say("p\n"), "");
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{6300, 3400}));
    EXPECT_EQ(lastcolor, 3400);
    Fake().loads.clear();
    Serve();
    tick_s = 1.0, nighttemp = 2500;
    Say("p\n", true);
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3500, 4500, 5500, 6500, 5500, 4500, 3500, 2500}));
    EXPECT_EQ(lastcolor, 2500);
}

TEST_F(ConsoleTest, LinesAsTheyArrive) {
    Type("l=10\ng=20\nk\nc\nl=1");
    EXPECT_EQ(Serve(), "Latitude=10.0\nLongitude=20.0\nColortemp=3400\nColortemp=6500\n");
    Type("5\n" + std::string(kLineBuffer - 1, 'a') + "k\nl");
    EXPECT_EQ(Serve(), "Latitude=15.0\nColortemp=3400\n");
    EndInput();
    EXPECT_EQ(Serve(), "Latitude=15.0\n");
    EXPECT_EQ(haskb(), 0);
}

TEST_F(ConsoleTest, FadeSteps) {
    const struct { int start, target, duration; double tick; std::vector<int> kelvins; } rows[] = {
        {3400, 4000, 1, 0.25, {3500, 3700, 3800, 4000}},
        {6500, 3400, 2, 0.3, {6000, 5500, 5100, 4600, 4100, 3700, 3200}},   // the last step passes the target
        {5000, 5000, 1, 0.5, {5000, 5000}},
        {3000, 5000, 20, -10, {2000}},   // the clock went back
        {6500, 3400, 0, 0.25, {}},
        {6500, 3400, -3, 0.25, {}},
    };
    Type("c\n");
    nofork = 0;   // the background never reads input
    for (const auto& row : rows) {
        Fake().loads.clear();
        tick_s = row.tick;
        EXPECT_EQ(Animate(row.start, row.target, row.duration), 0);
        EXPECT_EQ(LoadedKelvins(), row.kelvins) << row.start << " " << row.duration;
        EXPECT_EQ(lastcolor, row.target);
    }
    nofork = 1, tick_s = 0.25;
    Fake().loads.clear();
    EXPECT_EQ(Animate(6500, 3400, 20), -1);   // typed input: straight to the target
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{6400, 3400}));
    EXPECT_EQ(Serve(), "Colortemp=3400\n");
    EndInput();
    EXPECT_EQ(Animate(3400, 4000, 1), 0);   // the end of input cuts nothing short
    EXPECT_EQ(Fake().loads.size(), 6u);
}

TEST(RunStart, AFailedForkIsReportedAndNamesNoChild) {
    ResetFake({{256, {256}}});
    latitude = 40.0f, longitude = -74.0f, nofork = 0;
    const std::string out = Out([] { FindScreens(nullptr); EXPECT_EQ(::Run(), -1); });
    EXPECT_TRUE(out.ends_with("\nCouldn't go to the background (Resource temporarily unavailable); use -nofork to run "
                              "in front.\n")) << out;
    EXPECT_EQ(out.find("Going"), std::string::npos);
}

std::chrono::steady_clock::time_point load_at[2];

// A signal that comes 5 ms after the first load does not shorten the gap to the second.
TEST(Shutdown, RestoreLoadsTheDayRampTwiceWithTheWholeGap) {
    Out([] { ResetFake({{256, {256}}}), FindScreens(nullptr); });
    signal(SIGALRM, [](int) {});
    Fake().on_flush = [] {
        load_at[Fake().loads.size() - 1] = std::chrono::steady_clock::now();
        if (Fake().loads.size() == 1) ualarm(5000, 0);
    };
    RestoreDay();
    EXPECT_EQ(LoadedKelvins(), std::vector<int>(2, 6500));
    EXPECT_GE(load_at[1] - load_at[0], std::chrono::microseconds(kRestoreGapUs));
}

}  // namespace
