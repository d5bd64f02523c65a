#include <string>

#include "console_fixture.h"
#include "control/console.h"

namespace {

class CommandTest : public ConsoleTest {
  protected:
    std::string Say(const char* line, bool night = false) {
        testing::internal::CaptureStdout();
        HandleLine(line, night);
        return testing::internal::GetCapturedStdout();
    }
    std::string Serve(bool night = false) {
        testing::internal::CaptureStdout();
        ServeConsole(night);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(CommandTest, SetCommandsAndTheirReplies) {
    struct Case { const char* line; const char* reply; };
    const Case cases[] = {
        {"l=80\n", "Latitude=65.0\n"},        {"l=-90\n", "Latitude=-65.0\n"},
        {"l= 12.34\n", "Latitude=12.3\n"},    {"l=inf\n", "Latitude=65.0\n"},
        {"l=nan\n", "Latitude=nan\n"},        {"g=-200\n", "Longitude=-180.0\n"},
        {"g=7.25xyz\n", "Longitude=7.2\n"},   {"z=10001\n", "ZIPCode=10001\nLatitude=40.8\nLongitude=-74.0\n"},
        {"z=02134\n", "ZIPCode=2134\nLatitude=42.4\nLongitude=-71.1\n"},
        {"z=12\n", "ZIPCode=notfound\n"},     {"z=-5\n", "ZIPCode=notfound\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Say(c.line), c.reply) << c.line;
    EXPECT_FLOAT_EQ(latitude, 42.357170f);
    EXPECT_FLOAT_EQ(longitude, -71.112648f);
    EXPECT_TRUE(Fake().loads.empty());
}

TEST_F(CommandTest, QueriesByFirstCharacter) {
    latitude = 52.52f;
    longitude = 13.4f;
    struct Case { const char* line; const char* reply; };
    const Case cases[] = {
        {"k\n", "Colortemp=3400\n"}, {"kelvin\n", "Colortemp=3400\n"}, {"k = 3000\n", "Colortemp=3400\n"},
        {"l\n", "Latitude=52.5\n"},  {"l=x\n", "Latitude=52.5\n"},      {"g\n", "Longitude=13.4\n"},
        {"c\n", "Colortemp=6500\n"}, {"\n", ""},                        {"", ""},
        {"x=5\n", ""},               {"K=3000\n", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Say(c.line), c.reply) << c.line;
    EXPECT_EQ(nighttemp, 3400u);
    EXPECT_FLOAT_EQ(latitude, 52.52f);
}

TEST_F(CommandTest, NewNightTemperatureFadesOverTwoSeconds) {
    tick_s = 0.5;
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_EQ(nighttemp, 2700u);
    EXPECT_EQ(lastcolor, 2700);   // so by day the loop fades back to 6500 next
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3200, 3000, 2800, 2700}));

    Fake().loads.clear();
    EXPECT_EQ(Say("k=2700\n"), "Colortemp=2700\n");
    EXPECT_TRUE(Fake().loads.empty());   // same value: no fade

    EXPECT_EQ(Say("k=3000K\n"), "Colortemp=3000\n");
    EXPECT_EQ(Say("k=-5\n"), "Colortemp=-5\n");   // accepted; no ramp exists for it
    EXPECT_EQ(Say("k\n"), "Colortemp=-5\n");
}

TEST_F(CommandTest, PreviewCutShortStaysOnTheOtherTemperature) {
    Type("\n");
    EXPECT_EQ(Say("p\n"), "");
    // 6306 K after a quarter second of a 4 s fade, then straight to 3400 K.
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{6300, 3400}));
    EXPECT_EQ(lastcolor, 3400);
}

TEST_F(CommandTest, PreviewGoesThereHoldsAndComesBack) {
    tick_s = 1.0;
    nighttemp = 2500;
    lastcolor = 2500;
    Say("p\n", true);
    // 4 s from 2500 K to 6500 K, a hold, 4 s back.
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3500, 4500, 5500, 6500, 5500, 4500, 3500, 2500}));
    EXPECT_EQ(lastcolor, 2500);
}

TEST_F(CommandTest, EveryWaitingLineIsAnsweredInOnePass) {
    Type("l=10\ng=20\nk\nc\n");
    EXPECT_EQ(Serve(), "Latitude=10.0\nLongitude=20.0\nColortemp=3400\nColortemp=6500\n");
    EXPECT_EQ(Serve(), "");
}

TEST_F(CommandTest, PartialLineWaitsForItsNewline) {
    Type("l=1");
    EXPECT_EQ(Serve(), "");
    Type("5\nl");
    EXPECT_EQ(Serve(), "Latitude=15.0\n");
    CloseWriter();   // at end of input the last line counts without its newline
    EXPECT_EQ(Serve(), "Latitude=15.0\n");
    EXPECT_EQ(haskb(), 0);
    EXPECT_EQ(Serve(), "");
}

TEST_F(CommandTest, OverlongLineIsTakenInPieces) {
    Type(std::string(kLineBuffer - 1, 'a') + "k=2600\n");
    tick_s = 1.0;
    EXPECT_EQ(Serve(), "Colortemp=2600\n");
    EXPECT_EQ(nighttemp, 2600u);
}

TEST_F(CommandTest, ClosedInputIsNeverWaiting) {
    CloseWriter();
    EXPECT_EQ(haskb(), 0);
    ResetInput(-1);
    EXPECT_EQ(haskb(), 0);
    EXPECT_EQ(Serve(), "");
    nofork = 0;
    ResetInput(0);
    EXPECT_EQ(haskb(), 0);   // the background never reads
}

}  // namespace
