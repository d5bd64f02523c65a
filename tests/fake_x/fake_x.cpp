#include "fake_x.h"

#include <X11/Xlib-xcb.h>
#include <X11/extensions/xf86vmode.h>
#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "display/ramp.h"
#include "display/xdisplay.h"

namespace {

FakeServer server;
XErrorHandler handler = nullptr;
Display* const kDisplay = reinterpret_cast<Display*>(&server);   // its address only

// Without a handler, Xlib ends the process.
void Error() {
    XErrorEvent ev{};
    if (!handler) abort();
    handler(kDisplay, &ev);
}

int CrtcSize(unsigned long id) { return server.screens.at(id / 256 - 1).crtc_sizes.at(id % 256); }

// A load is known by its size and the colour (0xRRGGBB) its ramps end on.
using Ramp = const uint16_t*;
void Load(bool randr, unsigned long target, int n, Ramp r, Ramp g, Ramp b) {
    const uint32_t rgb = r[n - 1] / 257u << 16 | g[n - 1] / 257u << 8 | b[n - 1] / 257u;
    const int e = int(std::find(KelvinToRGB, KelvinToRGB + kKelvinEntries, rgb) - KelvinToRGB);
    server.loads.push_back({randr, target, n, e < kKelvinEntries ? 1000 + 100 * e : -1});
}

}  // namespace

FakeServer& Fake() { return server; }

void ResetFake(std::vector<FakeScreen> screens) {
    server = {std::move(screens), {}};
    handler = nullptr;
    display = nullptr;
    numscreen = kEntries = numcrtc = 0;
    memset(validscreen, 0, sizeof validscreen);
}

extern "C" {

Display* XOpenDisplay(const char*) { return kDisplay; }
char* XDisplayName(const char*) { return const_cast<char*>(""); }
XErrorHandler XSetErrorHandler(XErrorHandler h) { return std::exchange(handler, h); }
int XScreenCount(Display*) { return static_cast<int>(server.screens.size()); }
Window XRootWindow(Display*, int screen) { return screen; }
// The display code reads none of the numbers these calls return.
Bool XQueryExtension(Display*, const char*, int*, int*, int*) { return True; }
Bool XF86VidModeQueryVersion(Display*, int*, int*) { return True; }
Bool XF86VidModeQueryExtension(Display*, int*, int*) { return True; }
int XFlush(Display*) {
    if (server.on_flush) server.on_flush();
    return 1;
}
int XSync(Display*, Bool) { return 1; }

Bool XF86VidModeGetGammaRampSize(Display*, int screen, int* size) {
    if ((*size = server.screens.at(screen).ramp_size) == 0) Error();
    return *size != 0;
}
Bool XF86VidModeSetGammaRamp(Display*, int screen, int n, uint16_t* r, uint16_t* g, uint16_t* b) {
    Load(false, screen, n, r, g, b);
    return True;
}

XRRScreenResources* XRRGetScreenResources(Display*, Window root) {
    auto* res = new XRRScreenResources{};
    res->ncrtc = static_cast<int>(server.screens.at(root).crtc_sizes.size());
    res->crtcs = new RRCrtc[res->ncrtc];
    for (int c = 0; c < res->ncrtc; c++) res->crtcs[c] = (root + 1) * 256 + c;
    return res;
}
void XRRFreeScreenResources(XRRScreenResources* res) {
    delete[] res->crtcs;
    delete res;
}
xcb_connection_t* XGetXCBConnection(Display* d) { return reinterpret_cast<xcb_connection_t*>(d); }
using SizeCookie = xcb_randr_get_crtc_gamma_size_cookie_t;
SizeCookie xcb_randr_get_crtc_gamma_size(xcb_connection_t*, xcb_randr_crtc_t crtc) {
    return {crtc};
}
// A request with a reply gets its error with the reply.
using SizeReply = xcb_randr_get_crtc_gamma_size_reply_t;
SizeReply* xcb_randr_get_crtc_gamma_size_reply(xcb_connection_t*, SizeCookie cookie,
                                               xcb_generic_error_t** e) {
    if (CrtcSize(cookie.sequence) == 0) {
        *e = static_cast<xcb_generic_error_t*>(calloc(1, 32));
        return nullptr;
    }
    auto* reply = static_cast<SizeReply*>(calloc(1, sizeof(SizeReply)));
    reply->size = static_cast<uint16_t>(CrtcSize(cookie.sequence));
    return reply;
}
XRRCrtcGamma* XRRAllocGamma(int n) {
    auto* ramps = new unsigned short[3 * n];
    return new XRRCrtcGamma{n, ramps, ramps + n, ramps + 2 * n};
}
void XRRSetCrtcGamma(Display*, RRCrtc id, XRRCrtcGamma* g) {
    if (CrtcSize(id) == 0)
        Error();
    else
        Load(true, id, g->size, g->red, g->green, g->blue);
}
void XRRFreeGamma(XRRCrtcGamma* g) {
    delete[] g->red;
    delete g;
}

}  // extern "C"
