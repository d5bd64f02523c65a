// Fuzzes the console: byte 0 says if it is night, the rest is the input.
#include <unistd.h>

#include "control/console.h"
#include "control/input.h"
#include "display/fade.h"
#include "fake_x.h"
#include "invariants.h"

void PauseMicro(long us) {
    Check(us >= 0 && us <= kPreviewHoldUs, "waits are at most the preview's hold");
    CheckLocation();
    const std::vector<int> kelvins = LoadedKelvins();
    for (size_t i = 0; i < kelvins.size(); i++)
        Check(kelvins[i] > 0 && kelvins[i] == kelvins[i & ~size_t{1}], "table colour, both CRTCs");
    Fake().loads.clear();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ResetFake({{256, {256, 256}}});
    FindScreens(nullptr);
    fadeclock = [] {
        static double clock_s = 0;
        return clock_s += 1.0;
    };
    nofork = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) return 0;   // a pipe takes it all at once
    latitude = 40.0f;
    longitude = -74.0f;
    nighttemp = 3400;
    int fds[2];
    Check(pipe(fds) == 0, "a pipe");
    Check(write(fds[1], data + 1, size - 1) == ssize_t(size - 1), "the input is written");
    close(fds[1]);
    ResetInput(fds[0]);
    // The end of input shows only at the read after the data, as in the loop.
    for (int pass = 0; pass == 0 || (pass < 100 && haskb()); pass++) ServeConsole(data[0] & 1);
    Check(haskb() == 0, "the console reads its input to the end");
    close(fds[0]);
    PauseMicro(0);
    return 0;
}
