// Every RandR call of the program.
#include <X11/Xlib-xcb.h>
#include <xcb/randr.h>

#include <cstdlib>

#include "display/ramp.h"
#include "display/xdisplay.h"

RRCrtc allcrtc[kSlots] = {};
int numcrtc = 0;

namespace {

// Asks every CRTC for its gamma size afresh (a CRTC's size may change while
// the program runs). All the questions leave together and the answers are
// read afterwards, so a load waits for the server once, not once per CRTC.
// A CRTC that answers with an error (one that vanished) gets size 0.
void QueryGammaSizes(int* sizes) {
    xcb_connection_t* conn = XGetXCBConnection(display);
    xcb_randr_get_crtc_gamma_size_cookie_t cookies[kSlots];
    for (int slot = 0; slot < numcrtc; slot++)
        cookies[slot] = xcb_randr_get_crtc_gamma_size(conn, static_cast<xcb_randr_crtc_t>(allcrtc[slot]));
    for (int slot = 0; slot < numcrtc; slot++) {
        xcb_generic_error_t* error = nullptr;
        xcb_randr_get_crtc_gamma_size_reply_t* reply =
            xcb_randr_get_crtc_gamma_size_reply(conn, cookies[slot], &error);
        sizes[slot] = reply ? reply->size : 0;
        free(reply);
        free(error);
    }
}

// The ramps of one load, built once for each CRTC size in use: CRTCs of the
// same size show the same ramps, so there is no need to build them 16 times.
struct LoadRamps {
    XRRCrtcGamma* built[3] = {};   // by SizeSlot
    bool refused = false;          // the temperature is outside the table
};

// Where the ramps of a size are kept, or -1 for a size CRTCs do not take.
int SizeSlot(int size) {
    for (int slot = 0; kRampSizes[slot] <= kMaxCrtcRamp; slot++)
        if (size == kRampSizes[slot]) return slot;
    return -1;
}

// The ramps for a CRTC of this size, or null when it must be left alone: a
// size that is not accepted (4096 among them), no memory, or a temperature
// whose ramps cannot be built.
XRRCrtcGamma* RampsFor(LoadRamps& ramps, int size, float k) {
    const int slot = SizeSlot(size);
    if (slot < 0 || ramps.refused) return nullptr;
    if (!ramps.built[slot]) {
        XRRCrtcGamma* gamma = XRRAllocGamma(size);
        if (!gamma) return nullptr;
        if (MakeTables(k, gamma->red, gamma->green, gamma->blue, size) != 0) {
            XRRFreeGamma(gamma);
            ramps.refused = true;
            return nullptr;
        }
        ramps.built[slot] = gamma;
    }
    return ramps.built[slot];
}

}  // namespace

int FindCRTCs() {
    numcrtc = 0;
    // Asking first keeps Xlib from printing its own complaint where RandR is missing.
    int opcode, event_base, error_base;
    if (!XQueryExtension(display, "RANDR", &opcode, &event_base, &error_base)) return 0;
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
    int sizes[kSlots];
    QueryGammaSizes(sizes);
    LoadRamps ramps;
    int loaded = 0;
    for (int slot = 0; slot < numcrtc; slot++)
        if (SetGammaCRTC(allcrtc[slot], RampsFor(ramps, sizes[slot], k)) == 0) loaded++;
    for (XRRCrtcGamma* gamma : ramps.built)
        if (gamma) XRRFreeGamma(gamma);
    return loaded;
}

int SetGammaCRTC(RRCrtc crtc, XRRCrtcGamma* ramps) {
    if (!ramps) return -1;   // never load a ramp that was not built
    XRRSetCrtcGamma(display, crtc, ramps);
    return 0;
}
