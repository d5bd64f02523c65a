// Fuzzes the option parser. The input is an argument vector whose arguments
// are separated by NUL bytes (a NUL is the one byte an argument cannot hold);
// argv[0] is always "duskwarm". Every run starts from the settings the
// program starts with and a fake server of one 256-entry screen with 16
// CRTCs, and ends by checking that StartUp left settings the program can run
// with, or refused with a status main() may return.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "control/settings.h"
#include "control/startup.h"
#include "control/zip.h"
#include "display/gamma.h"
#include "display/xdisplay.h"
#include "fake_x.h"
#include "invariants.h"

// StartUp never waits; should it ever start to, this says so at once.
void PauseMicro(long) {
    __sanitizer_report_error_summary("SUMMARY: option parsing waited (PauseMicro called)");
    abort();
}

namespace {

constexpr size_t kMaxArgs = 64;
constexpr int kCrtcs = 16;

std::vector<std::string> SplitArgs(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"duskwarm"};
    if (size == 0) return args;
    std::string current;
    for (size_t i = 0; i < size && args.size() < kMaxArgs; i++) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (args.size() < kMaxArgs) args.push_back(current);
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    latitude = longitude = kUnset;
    nighttemp = 3400;
    nofork = 0;
    useRANDR = 1;
    ResetFake();
    FakeScreens({256}, kCrtcs);

    std::vector<std::string> args = SplitArgs(data, size);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(args.size());

    int status = 12345;
    const int result = StartUp(argc, argv.data(), status);

    Check(result == 0 || result == -1, "StartUp returns 0 or -1");
    Check(nighttemp >= 2000 && nighttemp <= 10000, "night temperature within 2000..10000 K");
    Check(nofork == 0 || nofork == 1, "nofork is 0 or 1");
    Check(Fake().open_gammas == 0, "every gamma allocated is freed");
    Check(Fake().loads.empty(), "start-up loads no ramp");
    // Only a trailing, unpaired "-nofork" asks for the foreground.
    if (nofork) Check(argc % 2 == 0 && args.back() == "-nofork", "nofork only from a trailing -nofork");

    if (result == 0) {
        Check(latitude != kUnset, "a start needs a latitude");
        Check(longitude != kUnset, "a start has a longitude, given or guessed");
        Check(SoundDegrees(latitude, 65.0f, &ZipRecord::latitude), "latitude within +-65, NaN or a ZIP table value");
        Check(SoundDegrees(longitude, 180.0f, &ZipRecord::longitude), "longitude within +-180, NaN or a ZIP table value");
        Check(numscreen == 1 && kEntries == 256 && validscreen[0] == 1, "the one fake screen is found");
        Check(numcrtc == kCrtcs, "every CRTC of the fake screen is collected");
        Check(nofork == (argc % 2 == 0 && args.back() == "-nofork"), "a trailing -nofork is honoured");
    } else {
        Check(status == 0 || status == -1, "a refused start has status 0 or -1");
        // Status 0 is the usage text, shown only when no latitude was given.
        if (status == 0) Check(latitude == kUnset, "the usage text only without a latitude");
        // With the fake server reachable, -1 only comes from a refused option,
        // which stops the parse before -nofork is looked at.
        if (status == -1) Check(nofork == 0, "a refused option leaves nofork alone");
    }
    return 0;
}
