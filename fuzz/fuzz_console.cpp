// Fuzzes the console: arbitrary bytes (long lines, no final newline, NUL
// bytes) arrive on the input descriptor and ServeConsole handles them until
// the input ends. The first byte is not input: its lowest bit says whether
// it is night.
//
// Fades run against a clock that advances a second per reading and a
// PauseMicro that does not sleep, so a fade takes a few steps and a run
// takes microseconds. Between steps and at the end the harness checks the
// settings, and every ramp loaded, and it keeps its own account of which
// temperature the console last chose, to compare with lastcolor.
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

#include "control/console.h"
#include "control/input.h"
#include "control/settings.h"
#include "control/zip.h"
#include "display/fade.h"
#include "display/gamma.h"
#include "display/ramp.h"
#include "display/xdisplay.h"
#include "fake_x.h"
#include "invariants.h"

namespace {

// Larger inputs are skipped: these all fit in the reader's buffer and in a
// pipe at once, so writing them never blocks.
constexpr size_t kMaxInput = 4096;
constexpr int kCrtcs = 2;

double clock_s = 0;
long pauses = 0;

double StepClock() {
    return clock_s += 1.0;
}

void CheckSettings() {
    Check(SoundDegrees(latitude, 65.0f, &ZipRecord::latitude), "latitude within +-65, NaN or a ZIP table value");
    Check(SoundDegrees(longitude, 180.0f, &ZipRecord::longitude), "longitude within +-180, NaN or a ZIP table value");
    Check(nofork == 1, "the console leaves nofork alone");
}

// Every load is a straight line from 0 to a table colour, and one
// SetKelvinAll puts the same ramps on every CRTC in discovery order.
void CheckLoads() {
    const std::vector<FakeLoad>& loads = Fake().loads;
    Check(loads.size() % kCrtcs == 0, "every load reaches every CRTC");
    for (size_t i = 0; i < loads.size(); i++) {
        const FakeLoad& l = loads[i];
        Check(l.randr && l.target == allcrtc[i % kCrtcs], "loads go to the CRTCs in order");
        Check(l.red.size() == 256 && l.green.size() == 256 && l.blue.size() == 256, "ramps of the CRTC's size");
        const FakeLoad& first = loads[i - i % kCrtcs];
        Check(l.red == first.red && l.green == first.green && l.blue == first.blue,
              "one temperature on every CRTC of a load");
        if (i % kCrtcs != 0) continue;
        const uint32_t r = l.red[255] / 257u, g = l.green[255] / 257u, b = l.blue[255] / 257u;
        bool known = false;
        for (uint32_t rgb : KelvinToRGB) known = known || rgb == (r << 16 | g << 8 | b);
        Check(known, "a load shows a table colour");
        for (int e = 0; e < 256; e++) {
            Check(l.red[e] == e * r * 257 / 255 && l.green[e] == e * g * 257 / 255 && l.blue[e] == e * b * 257 / 255,
                  "ramps are straight lines from 0");
        }
    }
    Fake().loads.clear();
}

// The console's choices as its user sees them: "k=N" makes N the night
// temperature, fading to it when it differs; "p" previews the other
// temperature, and when more input is waiting the preview ends there.
struct Account {
    uint64_t night;
    int64_t last;
};

Account Expect(const uint8_t* data, size_t size, bool night) {
    Account a{3400, night ? 3400 : kDayKelvin};
    const size_t limit = kLineBuffer - 1;
    size_t at = 0;
    while (at < size) {
        const size_t span = size - at < limit ? size - at : limit;
        const void* nl = memchr(data + at, '\n', span);
        const size_t len = nl ? static_cast<size_t>(static_cast<const uint8_t*>(nl) - (data + at)) + 1 : span;
        const std::string line(reinterpret_cast<const char*>(data + at), len);
        at += len;
        const bool more = at < size;
        int n = 0;
        if (sscanf(line.c_str(), "k=%d", &n) == 1) {
            const uint64_t k = static_cast<uint64_t>(static_cast<int64_t>(n));
            if (k != a.night) a.last = n;
            a.night = k;
        } else if (line[0] == 'p') {
            const int32_t night_k = static_cast<int32_t>(a.night);
            const int32_t now_k = night ? night_k : kDayKelvin;
            const int32_t other_k = night ? kDayKelvin : night_k;
            a.last = more ? other_k : now_k;
        }
    }
    return a;
}

}  // namespace

// Fades wait through this; here it only checks what the last step did.
void PauseMicro(long us) {
    Check(us > 0 && us <= 2000000, "waits are positive and at most the preview's hold");
    Check(++pauses < 1000000, "a run's fades end");
    CheckSettings();
    CheckLoads();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    ResetFake();
    FakeScreens({256}, kCrtcs);
    useRANDR = 1;
    if (FindScreens(nullptr) != 0 || numcrtc != kCrtcs) {
        fputs("the fake server was not found\n", stderr);
        abort();
    }
    fadeclock = StepClock;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > kMaxInput) return 0;
    const bool night = data[0] & 1;
    data++;
    size--;

    latitude = 40.0f;
    longitude = -74.0f;
    nighttemp = 3400;
    nofork = 1;
    lastcolor = night ? 3400 : kDayKelvin;
    clock_s = 1000.0;
    pauses = 0;
    Fake().loads.clear();

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) abort();
    if (size > 0 && write(fds[1], data, size) != static_cast<ssize_t>(size)) abort();
    close(fds[1]);
    ResetInput(fds[0]);

    // As in the main loop, ServeConsole is called again while input waits: a
    // last line without newline only counts once the end of input is seen,
    // which takes one more read than the data itself.
    int calls = 0;
    do ServeConsole(night);
    while (++calls < 4 && haskb());

    char rest[kLineBuffer];
    Check(haskb() == 0 && ReadLine(rest, sizeof rest) == -1, "the console reads its input to the end");
    ResetInput(-1);
    close(fds[0]);

    CheckSettings();
    CheckLoads();
    Check(Fake().open_gammas == 0, "every gamma allocated is freed");
    const Account want = Expect(data, size, night);
    Check(nighttemp == want.night, "the night temperature is the last one set");
    Check(lastcolor == want.last, "lastcolor is the last temperature chosen");
    return 0;
}
