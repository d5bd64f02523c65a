// Every XF86VidMode call of the program.
#include "display/xdisplay.h"   // Xlib first: the VidMode header needs its types

#include <X11/extensions/xf86vmode.h>

#include <iterator>

#include "display/ramp.h"

int VidModeAvailable() {
    // Asking the server first keeps Xlib from printing its own complaint
    // about a missing extension.
    int opcode, event_base, error_base, major, minor;
    if (!XQueryExtension(display, "XFree86-VidModeExtension", &opcode, &event_base, &error_base))
        return 0;
    if (!XF86VidModeQueryVersion(display, &major, &minor)) return 0;
    return XF86VidModeQueryExtension(display, &event_base, &error_base) ? 1 : 0;
}

int VidModeRampSize(int screen) {
    int size = 0;
    if (!XF86VidModeGetGammaRampSize(display, screen, &size)) return 0;
    return size;
}

int SetKelvin(Display* dpy, int screen, float k) {
    // The ramps live on the stack for this load only.
    constexpr int kMost = kRampSizes[std::size(kRampSizes) - 1];
    unsigned short red[kMost], green[kMost], blue[kMost];
    if (kEntries <= 0 || kEntries > kMost) return -1;
    if (MakeTables(k, red, green, blue, kEntries) != 0) return -1;   // leave the screen as it is
    XF86VidModeSetGammaRamp(dpy, screen, kEntries, red, green, blue);
    return 0;
}
