// Every RandR call of the program.
#include "display/ramp.h"
#include "display/xdisplay.h"

RRCrtc allcrtc[kSlots] = {};
int numcrtc = 0;

int FindCRTCs() {
    numcrtc = 0;
    for (int i = 0; i < numscreen && i < kSlots; i++) {
        if (!validscreen[i]) continue;
        XRRScreenResources* res = XRRGetScreenResources(display, XRootWindow(display, i));
        if (!res) continue;   // no RandR on this screen: no CRTCs from it
        for (int c = 0; c < res->ncrtc && numcrtc < kSlots; c++) allcrtc[numcrtc++] = res->crtcs[c];
        XRRFreeScreenResources(res);
    }
    return 0;
}

int SetGammaRandr(float k) {
    for (int slot = 0; slot < numcrtc; slot++) SetGammaCRTC(allcrtc[slot], k);
    return 0;
}

int SetGammaCRTC(RRCrtc crtc, float k) {
    // Asked on every load: a CRTC's size may change while the program runs.
    int size = XRRGetCrtcGammaSize(display, crtc);
    if (size != 256 && size != 1024 && size != 2048) return -1;
    XRRCrtcGamma* gamma = XRRAllocGamma(size);
    if (!gamma) return -1;
    int built = MakeTables(k, gamma->red, gamma->green, gamma->blue, size);
    if (built == 0) XRRSetCrtcGamma(display, crtc, gamma);
    XRRFreeGamma(gamma);
    return built;
}
