// The X calls of the display code, for what no real server shows safely.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/ramp.h"

struct FakeScreen {
    int ramp_size;                 // XF86VidMode's; 0: asking for it draws an error
    std::vector<int> crtc_sizes;   // CRTC c of screen s is (s+1)*256 + c; 0: it draws errors
};

struct FakeLoad {
    bool randr;                    // else XF86VidMode
    unsigned long target;          // CRTC id, or screen index
    std::vector<uint16_t> red, green, blue;
};

struct FakeServer {
    std::vector<FakeScreen> screens;
    std::vector<FakeLoad> loads;
    void (*on_flush)() = nullptr;   // called by XFlush
};

FakeServer& Fake();

// The colour (0xRRGGBB) that ramps of n entries end on.
template <typename Ramp>
uint32_t ColourOf(const Ramp& red, const Ramp& green, const Ramp& blue, size_t n) {
    return red[n - 1] / 257u << 16 | green[n - 1] / 257u << 8 | blue[n - 1] / 257u;
}

// The lowest table temperature of each load's colour, or -1.
inline std::vector<int> LoadedKelvins() {
    std::vector<int> kelvins;
    for (const FakeLoad& l : Fake().loads) {
        const uint32_t rgb = ColourOf(l.red, l.green, l.blue, l.red.size());
        const int e = int(std::find(KelvinToRGB, KelvinToRGB + kKelvinEntries, rgb) - KelvinToRGB);
        kelvins.push_back(e < kKelvinEntries ? 1000 + 100 * e : -1);
    }
    return kelvins;
}

// A new server of these screens; also forgets the display code's state.
void ResetFake(std::vector<FakeScreen> screens);
