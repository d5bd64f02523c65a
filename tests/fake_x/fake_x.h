// A stand-in for the few X calls the display code makes. It is linked in
// place of libX11, libXxf86vm and libXrandr, and lets a test describe a
// server and read back what was loaded.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FakeCrtc {
    unsigned long id;
    int gamma_size;
    bool errors = false;   // every request on it draws a protocol error
};

struct FakeScreen {
    int ramp_size;                  // XF86VidMode ramp size
    bool size_query_fails = false;  // the size request errors out
    bool has_randr = true;
    std::vector<FakeCrtc> crtcs;
};

struct FakeLoad {
    bool randr;           // XRRSetCrtcGamma, else XF86VidModeSetGammaRamp
    unsigned long target; // CRTC id or screen index
    std::vector<uint16_t> red, green, blue;
};

struct FakeServer {
    bool reachable = true;
    bool has_vidmode = true;
    std::vector<FakeScreen> screens;
    // What the code did:
    std::vector<FakeLoad> loads;
    int flushes = 0;
    int errors_reported = 0;
    int open_gammas = 0;   // XRRAllocGamma minus XRRFreeGamma
    int size_questions = 0;   // CRTC gamma-size requests
};

FakeServer& Fake();

// Forgets the fake server and every global of the display code.
void ResetFake();

// Screens of the given ramp sizes, each with `crtcs` CRTCs of that size.
void FakeScreens(const std::vector<int>& sizes, int crtcs);
