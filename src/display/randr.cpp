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
    for (int slot = 0; slot < numcrtc; slot++) SetGammaCRTC(allcrtc[slot], sizes[slot], k);
    return 0;
}

int SetGammaCRTC(RRCrtc crtc, int size, float k) {
    if (size != 256 && size != 1024 && size != 2048) return -1;
    XRRCrtcGamma* gamma = XRRAllocGamma(size);
    if (!gamma) return -1;
    int built = MakeTables(k, gamma->red, gamma->green, gamma->blue, size);
    if (built == 0) XRRSetCrtcGamma(display, crtc, gamma);   // never a ramp that was not built
    XRRFreeGamma(gamma);
    return built;
}
