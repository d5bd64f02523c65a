// StartUp as a fresh process meets it, for the unit tests and the fuzzer.
#pragma once
#include <string>
#include <vector>

#include "control/settings.h"
#include "control/startup.h"
#include "display/gamma.h"
#include "fake_x.h"

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
