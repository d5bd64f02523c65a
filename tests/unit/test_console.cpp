// The console and fades, against a fake server of one CRTC, a clock that
// gains tick_s a reading, and a pipe for standard input.
#include <unistd.h>

#include "control/console.h"
#include "control/input.h"
#include "control/settings.h"
#include "display/fade.h"
#include "display/gamma.h"
#include "unit.h"

namespace {

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
    template <typename F> static std::string Out(F f) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        f();
        testing::internal::GetCapturedStderr();
        return testing::internal::GetCapturedStdout();
    }
    static std::string Say(const char* line, bool night = false) { return Out([&] { HandleLine(line, night); }); }
    static std::string Serve() { return Out([] { ServeConsole(false); }); }
    int fds_[2] = {-1, -1};
};

TEST_F(ConsoleTest, CommandsAndQueries) {
    const struct { const char* line; const char* reply; } rows[] = {
        {"l=80\n", "Latitude=65.0\n"},       {"l=-90\n", "Latitude=-65.0\n"},  {"l= 12.34\n", "Latitude=12.3\n"},
        {"l=inf\n", "Latitude=65.0\n"},      {"l=nan\n", "Latitude=nan\n"},    {"g=-200\n", "Longitude=-180.0\n"},
        {"g=200\n", "Longitude=180.0\n"},    {"g=7.25xyz\n", "Longitude=7.2\n"},
        {"z=02134\n", "ZIPCode=2134\nLatitude=42.4\nLongitude=-71.1\n"},
        {"z=12\n", "ZIPCode=notfound\n"},    {"l\n", "Latitude=42.4\n"},       {"l=x\n", "Latitude=42.4\n"},
        {"g\n", "Longitude=-71.1\n"},        {"k\n", "Colortemp=3400\n"},      {"kelvin\n", "Colortemp=3400\n"},
        {"k = 3000\n", "Colortemp=3400\n"},  {"c\n", "Colortemp=6500\n"},      {"\n", ""},
        {"x=5\n", ""},                       {"K=3000\n", ""},
    };
    for (auto [line, reply] : rows) EXPECT_EQ(Say(line), reply) << line;
    EXPECT_TRUE(Fake().loads.empty());
}

TEST_F(ConsoleTest, NewNightTemperatureFadesFirst) {
    tick_s = 0.5;
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3200, 3000, 2800, 2700}));
    EXPECT_EQ(lastcolor, 2700);
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(Fake().loads.size(), 4u);   // no fade to the value already set
    EXPECT_EQ(Say("k=3000K\n"), "Colortemp=3000\n");
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
    tick_s = 1.0;
    nighttemp = 2500;
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
    nofork = 1;
    tick_s = 0.25;
    Fake().loads.clear();
    EXPECT_EQ(Animate(6500, 3400, 20), -1);   // typed input: straight to the target
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{6400, 3400}));
    EXPECT_EQ(Serve(), "Colortemp=3400\n");
    EndInput();
    EXPECT_EQ(Animate(3400, 4000, 1), 0);   // the end of input cuts nothing short
    EXPECT_EQ(Fake().loads.size(), 6u);
}

}  // namespace
