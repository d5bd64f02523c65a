// Reading what the fake server was loaded with.
#pragma once
#include <cstdint>

#include "display/ramp.h"
#include "fake_x.h"

// The colour (0xRRGGBB) a load's ramps end on.
inline uint32_t LoadColour(const FakeLoad& l) {
    size_t last = l.red.size() - 1;
    return (l.red[last] / 257u) << 16 | (l.green[last] / 257u) << 8 | l.blue[last] / 257u;
}

// The lowest table temperature whose colour a load shows, or -1.
inline int LoadKelvin(const FakeLoad& l) {
    uint32_t c = LoadColour(l);
    for (int i = 0; i < kKelvinEntries; i++)
        if (KelvinToRGB[i] == c) return 1000 + 100 * i;
    return -1;
}
