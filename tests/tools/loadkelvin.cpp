// loadkelvin: loads one temperature onto the display through the program's own
// display code, so the end-to-end tests can read back what it put there.
//
//   loadkelvin KELVIN [RANDR [hold]]
//
// RANDR 0 loads per screen through XF86VidMode, anything else (the default) per
// CRTC through RandR. The display is the one DISPLAY names; screen discovery
// prints its usual lines. Normally the tool waits until the server has
// processed the load and exits. With "hold" it makes no call of its own after
// SetKelvinAll: it prints "loaded" and keeps the connection open until its
// standard input ends, so a readback meanwhile sees only what the display
// code itself sent to the server.
// Exit status 0 after the load, 1 when the display cannot be driven, 2 on
// bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/gamma.h"

int main(int argc, char** argv) {
    bool hold = false;
    if (argc == 4 && strcmp(argv[3], "hold") == 0) {
        hold = true;
        argc--;
    }
    if (argc < 2 || argc > 3) {
        fputs("usage: loadkelvin KELVIN [RANDR [hold]]\n", stderr);
        return 2;
    }
    useRANDR = argc == 3 ? atoi(argv[2]) : 1;
    if (FindScreens(nullptr) != 0) return 1;
    SetKelvinAll(static_cast<float>(atof(argv[1])));
    if (!hold) {
        SyncDisplay();
        return 0;
    }
    // Exiting here could drop requests the server has not read yet (it
    // closes a client on hang-up), which would blur what is being shown.
    puts("loaded");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    return 0;
}
