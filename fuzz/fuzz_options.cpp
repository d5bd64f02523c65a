// Fuzzes the options (words split at NUL bytes): settings to run with, or a refusal.
#include <string>
#include <vector>

#include "fake_x.h"
#include "invariants.h"

void PauseMicro(long) { Check(false, "start-up never waits"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"duskwarm", ""};
    for (size_t i = 0; i < size && args.size() < 64; i++) {
        if (data[i])
            args.back() += char(data[i]);
        else
            args.emplace_back();
    }
    int status = 1;
    const bool trailing = args.size() % 2 == 0 && args.back() == "-nofork";
    if (StartWith(args, status) == 0)
        Check(latitude != kUnset && longitude != kUnset && nofork == trailing,
              "a start has a location and its mode");
    else
        Check(status == 0 ? latitude == kUnset : status == -1 && nofork == 0,
              "a refusal says why, or shows the usage");
    Check(nighttemp >= 2000 && nighttemp <= 10000, "the night temperature within 2000..10000 K");
    CheckLocation();
    return 0;
}
