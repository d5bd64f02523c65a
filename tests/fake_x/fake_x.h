// The X calls of the display code, for what no real server shows safely.
#pragma once
#include <vector>

struct FakeScreen {
    int ramp_size;                 // XF86VidMode's; 0: asking for it draws an error
    std::vector<int> crtc_sizes;   // CRTC c of screen s is (s+1)*256 + c; 0: it draws errors
};

struct FakeLoad {
    bool randr;                    // else XF86VidMode
    unsigned long target;          // CRTC id, or screen index
    int size;                      // entries in each ramp
    int kelvin;                    // the lowest table temperature of their end colour, or -1
};

struct FakeServer {
    std::vector<FakeScreen> screens;
    std::vector<FakeLoad> loads;
    void (*on_flush)() = nullptr;   // called by XFlush
};

FakeServer& Fake();

inline std::vector<int> LoadedKelvins() {
    std::vector<int> kelvins;
    for (const FakeLoad& l : Fake().loads) kelvins.push_back(l.kelvin);
    return kelvins;
}

// A new server of these screens; also forgets the display code's state.
void ResetFake(std::vector<FakeScreen> screens);
