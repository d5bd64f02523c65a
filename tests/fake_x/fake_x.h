// The X calls of the display code, for what no real server shows safely, and
// StartUp as a fresh process meets it: for the unit tests and the fuzzers.
#pragma once
#include <string>
#include <vector>

#include "control/settings.h"
#include "control/startup.h"
#include "display/gamma.h"

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

// StartUp on these words, the program's name first, with the settings' first
// values and a server of one screen with one 256-entry CRTC.
inline int StartWith(std::vector<std::string> words, int& status) {
    latitude = longitude = kUnset;
    nighttemp = 3400;
    nofork = 0;
    useRANDR = 1;
    ResetFake({{256, {256}}});
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return StartUp(int(words.size()), argv.data(), status);
}
