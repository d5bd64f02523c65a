#include <cmath>

#include "control/settings.h"
#include "control/startup.h"
#include "display/gamma.h"
#include "unit.h"

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
    {{"-l", "90", "-g", "200"}, 1, kFound, 65, 180},
    {{"-l", "-70", "-g", "-181"}, 1, kFound, -65, -180},
    {{"-l", "0", "-g", "0.0"}, 1, kFound, 0, 0},
    {{"-l", "inf", "-g", "-inf"}, 1, kFound, 65, -180},
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
        latitude = longitude = kUnset;
        nighttemp = 3400;
        nofork = 0;
        useRANDR = 1;
        ResetFake({{256, {256}}});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int status = 1;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        StartUp(static_cast<int>(args.size()), argv.data(), status);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "\x1b[2J\x1b[0;0f\n--------\nWelcome to duskwarm (Embertone for X)\n"
                  "This will only work if you're running X on console.\n\n" + r.out);
        EXPECT_EQ(status, r.status);
        if (r.status != 1) continue;
        EXPECT_TRUE(std::isnan(r.lat) ? std::isnan(latitude) : latitude == r.lat) << latitude;
        EXPECT_EQ(std::vector<double>({longitude, double(nighttemp), double(useRANDR), double(nofork)}),
                  std::vector<double>({r.lon, double(r.kelvin), double(r.randr), double(r.foreground)}));
    }
}

}  // namespace
