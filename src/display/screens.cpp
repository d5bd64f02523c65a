// Opening the display, validating its screens and loading every one of them.
#include <cstdio>

#include "display/gamma.h"
#include "display/xdisplay.h"

Display* display = nullptr;
int numscreen = 0;
int validscreen[kSlots] = {};
int kEntries = 0;
int useRANDR = 1;

namespace {

// A protocol error (a CRTC that vanished, a screen without the extension)
// fails that one request; the program carries on. Requests with a reply
// then return failure, which the callers treat as "skip".
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool AcceptedSize(int size) {
    for (int accepted : kRampSizes)
        if (size == accepted) return true;
    return false;
}

// Marks the screens whose ramp size the program can drive; the first valid
// screen fixes the size for all. Returns how many are valid.
int ValidateScreens() {
    int valid = 0;
    for (int i = 0; i < numscreen; i++) {
        int size = VidModeRampSize(i);
        fprintf(stderr, "Display %d has %d size\n", i + 1, size);
        if (i >= kSlots || !AcceptedSize(size) || (kEntries != 0 && size != kEntries)) continue;
        validscreen[i] = 1;
        kEntries = size;
        valid++;
    }
    return valid;
}

}  // namespace

int FindScreens(const char* name) {
    display = XOpenDisplay(name);
    if (!display) {
        const char* tried = name ? name : XDisplayName(nullptr);
        fprintf(stderr, "Couldn't open display %s\n.\n", *tried ? tried : "(DISPLAY is not set)");
        return -1;
    }
    XSetErrorHandler(IgnoreXError);
    numscreen = XScreenCount(display);
    printf("Found %d screen%s.\n", numscreen, numscreen == 1 ? "" : "s");
    fflush(stdout);
    if (!VidModeAvailable()) {
        fputs("Incompatible X server, sorry.\n", stderr);
        return -1;
    }
    if (ValidateScreens() == 0) {
        fputs("Sorry, we only support 8, 10, 11, and 12-bit displays right now.\n", stderr);
        return -1;
    }
    FindCRTCs();
    return 0;
}

int SetKelvinAll(float k) {
    if (!display) return 0;
    for (int i = 0; i < numscreen && i < kSlots; i++) {
        if (!validscreen[i]) continue;
        // Where RandR can load no CRTC (the server lacks it, or no CRTC takes
        // a ramp of an accepted size) the screen is loaded through
        // XF86VidMode, so that it changes as the program says it does.
        if (!useRANDR || SetGammaRandr(k) == 0) SetKelvin(display, i, k);
    }
    // Without this, VidMode loads (no reply) would wait in Xlib's buffer.
    XFlush(display);
    return 0;
}

void SyncDisplay() {
    if (display) XSync(display, False);
}
