#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/settings.h"
#include "control/startup.h"
#include "control/zip.h"
#include "display/gamma.h"
#include "fake_x.h"

namespace {

const char kBanner[] =
    "\x1b[2J\x1b[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\n"
    "This will only work if you're running X on console.\n\n";

struct Outcome {
    int result;
    int status;
    std::string out, err;
};

class StartUpTest : public testing::Test {
  protected:
    void SetUp() override {
        latitude = longitude = kUnset;
        nighttemp = 3400;
        nofork = 0;
        useRANDR = 1;
        ResetFake();
        FakeScreens({256}, 16);
        const char* tz = getenv("TZ");
        saved_tz_ = tz ? tz : "";
        had_tz_ = tz != nullptr;
        SetTz("UTC0");
    }
    void TearDown() override {
        if (had_tz_)
            setenv("TZ", saved_tz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void SetTz(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    static Outcome Start(std::vector<std::string> args) {
        args.insert(args.begin(), "duskwarm");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        Outcome o{};
        o.status = 12345;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        o.result = StartUp(static_cast<int>(args.size()), argv.data(), o.status);
        o.out = testing::internal::GetCapturedStdout();
        o.err = testing::internal::GetCapturedStderr();
        return o;
    }

  private:
    std::string saved_tz_;
    bool had_tz_ = false;
};

TEST_F(StartUpTest, RefusalsStopAtTheFirstBadPair) {
    struct Case { std::vector<std::string> args; const char* line; };
    const Case cases[] = {
        {{"-l", "x"}, "Your latitude is not a good number.\n"},
        {{"-l", "-0"}, "Your latitude is not a good number.\n"},
        {{"-l", ""}, "Your latitude is not a good number.\n"},
        {{"-l", "40", "-g", "west"}, "Your longitude is not a good number.\n"},
        {{"-k", "1999", "-l", "40"}, "Your kelvin color is out of range. We support 2000-10000K.\n"},
        {{"-l", "40", "-k", "10001"}, "Your kelvin color is out of range. We support 2000-10000K.\n"},
        {{"-l", "40", "-k", "-3000"}, "Your kelvin color is out of range. We support 2000-10000K.\n"},
        {{"-z", "12"}, "Your zipcode didn't match any location we know about.\n"},
        {{"-z", "-5"}, "Your zipcode didn't match any location we know about.\n"},
        // The first bad pair ends it: the later bad latitude is never read.
        {{"-k", "99", "-l", "x"}, "Your kelvin color is out of range. We support 2000-10000K.\n"},
        {{"-g", "east", "-z", "12"}, "Your longitude is not a good number.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        Outcome o = Start(c.args);
        EXPECT_EQ(o.result, -1);
        EXPECT_EQ(o.status, -1);
        EXPECT_EQ(o.out, std::string(kBanner) + c.line);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(Fake().loads.size(), 0u);
    }
}

TEST_F(StartUpTest, UsageWhenNoLatitude) {
    const std::string usage = std::string(kBanner) +
        "Usage: duskwarm [-z zipcode | -l latitude] [-g longitude] [-k colortemp (default 3400)] "
        "[-r 1 (use randr)] [-nofork]\nprotip: Say where you are (use -z or -l).\n\n";
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-nofork"}, {"-g", "10"},
                                                {"-nofork", "-l", "40"}}) {
        Outcome o = Start(args);
        EXPECT_EQ(o.result, -1);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out, usage);
    }
}

TEST_F(StartUpTest, AcceptedOptions) {
    struct Case {
        std::vector<std::string> args;
        float lat, lon;
        uint64_t kelvin;
        int randr, foreground;
    };
    const Case cases[] = {
        {{"-l", "90", "-g", "200"}, 65.0f, 180.0f, 3400, 1, 0},
        {{"-l", "-70", "-g", "-181"}, -65.0f, -180.0f, 3400, 1, 0},
        {{"-l", "0", "-g", "0"}, 0.0f, 0.0f, 3400, 1, 0},
        {{"-l", "0.0", "-g", "0e5"}, 0.0f, 0.0f, 3400, 1, 0},
        {{"-l", "inf", "-g", "-inf"}, 65.0f, -180.0f, 3400, 1, 0},
        {{"-l", "40", "-g", "1", "-k", "2000"}, 40.0f, 1.0f, 2000, 1, 0},
        {{"-l", "40", "-g", "1", "-k", "10000"}, 40.0f, 1.0f, 10000, 1, 0},
        {{"-z", "02134"}, 42.357170f, -71.112648f, 3400, 1, 0},
        {{"-z", "10001", "-g", "5"}, 40.750423f, 5.0f, 3400, 1, 0},
        {{"-z", "10001", "-l", "50"}, 50.0f, -73.996330f, 3400, 1, 0},
        {{"-z", "4294977297"}, 40.750423f, -73.996330f, 3400, 1, 0},   // 2^32 + 10001, cut to 32 bits
        {{"-z", "99791"}, 70.49469f, -157.441071f, 3400, 1, 0},   // no clamp for table latitudes
        {{"-l", "40", "-g", "2", "-r", "0", "-nofork"}, 40.0f, 2.0f, 3400, 0, 1},
        {{"-z", "10001", "-k", "3000", "-nofork"}, 40.750423f, -73.996330f, 3000, 1, 1},
        {{"-l", "40", "-g", "2", "foo"}, 40.0f, 2.0f, 3400, 1, 0},
        {{"-x", "1", "-l", "40", "-g", "2", "-r", "7"}, 40.0f, 2.0f, 3400, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        SetUp();
        Outcome o = Start(c.args);
        ASSERT_EQ(o.result, 0) << o.out;
        EXPECT_FLOAT_EQ(latitude, c.lat);
        EXPECT_FLOAT_EQ(longitude, c.lon);
        EXPECT_EQ(nighttemp, c.kelvin);
        EXPECT_EQ(useRANDR, c.randr);
        EXPECT_EQ(nofork, c.foreground);
        EXPECT_EQ(o.out, std::string(kBanner) + "Found 1 screen.\n");
        EXPECT_EQ(o.err, "Display 1 has 256 size\n");
    }
}

TEST_F(StartUpTest, NanLatitudeIsKeptNotRefused) {
    Outcome o = Start({"-l", "nan", "-g", "1"});
    EXPECT_EQ(o.result, 0);
    EXPECT_TRUE(std::isnan(latitude));
}

TEST_F(StartUpTest, LongitudeGuessedFromTheStandardZone) {
    struct Case { const char* tz; const char* guess; };
    const Case cases[] = {
        {"EST5EDT,M3.2.0,M11.1.0", "-75.0"},   // summer time plays no part
        {"IST-5:30", "82.5"},
        {"NST3:30NDT,M3.2.0,M11.1.0", "-52.5"},
        {"UTC0", "0.0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", "15.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        SetUp();
        SetTz(c.tz);
        Outcome o = Start({"-l", "40"});
        ASSERT_EQ(o.result, 0);
        EXPECT_EQ(o.out, std::string(kBanner) + "Guessing your longitude is " + c.guess +
                             " based on your timezone\nSpecify it with -g to make things better.\n"
                             "Found 1 screen.\n");
        EXPECT_FLOAT_EQ(longitude, strtof(c.guess, nullptr));
    }
}

TEST_F(StartUpTest, DisplayFailuresEndTheStart) {
    Fake().reachable = false;
    setenv("DISPLAY", ":77", 1);
    Outcome o = Start({"-l", "40", "-g", "1"});
    EXPECT_EQ(o.result, -1);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.err, "Couldn't open display :fake\n.\n");
}

TEST(ZipTable, TellingRowsAndOrder) {
    struct Row { int32_t code; float lat, lon; };
    const Row rows[] = {
        {501, 40.922325f, -72.637077f},  {544, 40.922325f, -72.637077f},   {601, 18.165274f, -66.722580f},
        {2134, 42.357170f, -71.112648f}, {10001, 40.750423f, -73.996330f}, {90210, 33.786594f, -118.298660f},
        {99950, 55.542007f, -131.432678f}, {99791, 70.49469f, -157.441071f},
    };
    for (const Row& r : rows) {
        float lat = 0, lon = 0;
        ASSERT_EQ(latzip(r.code, lat, lon), 1) << r.code;
        EXPECT_FLOAT_EQ(lat, r.lat) << r.code;
        EXPECT_FLOAT_EQ(lon, r.lon) << r.code;
    }
    EXPECT_EQ(ZTable[0].code, 501);
    EXPECT_EQ(ZTable[kZipRecords - 1].code, 99950);
    int north_of_65 = 0;
    for (int i = 0; i < kZipRecords; i++) {
        if (i > 0) {
            ASSERT_LT(ZTable[i - 1].code, ZTable[i].code);
        }
        north_of_65 += ZTable[i].latitude > 65.0f;
    }
    EXPECT_EQ(north_of_65, 50);
}

TEST(ZipTable, MissesStoreNothing) {
    for (int32_t code : {0, 12, 500, 99951, -5, -1, 2147483647}) {
        float lat = 1.5f, lon = 2.5f;
        EXPECT_EQ(latzip(code, lat, lon), 0) << code;
        EXPECT_EQ(lat, 1.5f);
        EXPECT_EQ(lon, 2.5f);
    }
}

}  // namespace
