// A stand-in for the X calls of the display code, linked in place of the X
// libraries in the unit tests, for what no real server shows safely.
#pragma once
#include <cstdint>
#include <vector>

struct FakeScreen {
    int ramp_size;                // XF86VidMode's; 0: the size request draws an error
    std::vector<int> crtc_sizes;  // CRTC c of screen s has id (s+1)*256 + c; size 0: its requests draw errors
};

struct FakeLoad {
    bool randr;                   // XRRSetCrtcGamma, else XF86VidModeSetGammaRamp
    unsigned long target;         // CRTC id, or screen index
    std::vector<uint16_t> red, green, blue;
};

struct FakeServer {
    std::vector<FakeScreen> screens;
    std::vector<FakeLoad> loads;
    void (*on_flush)() = nullptr;   // called by XFlush
};

FakeServer& Fake();

// A new server of these screens; also forgets the display code's state.
void ResetFake(std::vector<FakeScreen> screens);
