#include "fake_x.h"

#include <X11/Xlib-xcb.h>
#include <X11/extensions/xf86vmode.h>
#include <xcb/randr.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "display/xdisplay.h"

namespace {

FakeServer server;
XErrorHandler handler = nullptr;
char connection;   // only its address is used
Display* const kDisplay = reinterpret_cast<Display*>(&connection);

// A protocol error goes to the handler; without one, Xlib would end the process.
void Error() {
    XErrorEvent ev{};
    if (!handler) abort();
    handler(kDisplay, &ev);
}

int CrtcSize(unsigned long id) { return server.screens.at(id / 256 - 1).crtc_sizes.at(id % 256); }

template <typename T>
T* Zeroed(size_t extra = 0) { return static_cast<T*>(calloc(1, sizeof(T) + extra)); }

}  // namespace

FakeServer& Fake() { return server; }

void ResetFake(std::vector<FakeScreen> screens) {
    server = FakeServer{};
    server.screens = std::move(screens);
    handler = nullptr;
    display = nullptr;
    numscreen = kEntries = numcrtc = 0;
    memset(validscreen, 0, sizeof validscreen);
}

extern "C" {

Display* XOpenDisplay(const char*) { return kDisplay; }
char* XDisplayName(const char* name) { return const_cast<char*>(name ? name : ""); }
XErrorHandler XSetErrorHandler(XErrorHandler h) { return std::exchange(handler, h); }
int XScreenCount(Display*) { return static_cast<int>(server.screens.size()); }
Window XRootWindow(Display*, int screen) { return screen; }
Bool XQueryExtension(Display*, const char*, int* op, int* ev, int* err) { return *op = *ev = *err = 0, True; }
int XFlush(Display*) { return server.on_flush ? server.on_flush(), 1 : 1; }
int XSync(Display*, Bool) { return 1; }

Bool XF86VidModeQueryVersion(Display*, int* major, int* minor) { return *major = *minor = 2, True; }
Bool XF86VidModeQueryExtension(Display*, int* ev, int* err) { return *ev = *err = 0, True; }
Bool XF86VidModeGetGammaRampSize(Display*, int screen, int* size) {
    if ((*size = server.screens.at(screen).ramp_size) == 0) Error();
    return *size != 0;
}
Bool XF86VidModeSetGammaRamp(Display*, int screen, int n, unsigned short* r, unsigned short* g, unsigned short* b) {
    server.loads.push_back({false, static_cast<unsigned long>(screen), {r, r + n}, {g, g + n}, {b, b + n}});
    return True;
}

XRRScreenResources* XRRGetScreenResources(Display*, Window root) {
    auto* res = Zeroed<XRRScreenResources>();
    res->ncrtc = static_cast<int>(server.screens.at(root).crtc_sizes.size());
    res->crtcs = static_cast<RRCrtc*>(calloc(res->ncrtc + 1, sizeof(RRCrtc)));
    for (int c = 0; c < res->ncrtc; c++) res->crtcs[c] = (root + 1) * 256 + c;
    return res;
}
void XRRFreeScreenResources(XRRScreenResources* res) {
    free(res->crtcs);
    free(res);
}
xcb_connection_t* XGetXCBConnection(Display*) { return reinterpret_cast<xcb_connection_t*>(&connection); }
int xcb_flush(xcb_connection_t*) { return 1; }
xcb_randr_get_crtc_gamma_size_cookie_t xcb_randr_get_crtc_gamma_size(xcb_connection_t*, xcb_randr_crtc_t crtc) {
    return {crtc};
}
// Errors of requests with a reply come back with the reply, not to the handler.
xcb_randr_get_crtc_gamma_size_reply_t* xcb_randr_get_crtc_gamma_size_reply(
    xcb_connection_t*, xcb_randr_get_crtc_gamma_size_cookie_t cookie, xcb_generic_error_t** e) {
    auto* reply = Zeroed<xcb_randr_get_crtc_gamma_size_reply_t>();
    if ((reply->size = static_cast<uint16_t>(CrtcSize(cookie.sequence))) != 0) return reply;
    free(reply);
    *e = Zeroed<xcb_generic_error_t>();
    return nullptr;
}
XRRCrtcGamma* XRRAllocGamma(int n) {
    auto* g = Zeroed<XRRCrtcGamma>(3 * n * sizeof(unsigned short));
    g->size = n;
    g->red = reinterpret_cast<unsigned short*>(g + 1);
    g->green = g->red + n;
    g->blue = g->green + n;
    server.open_gammas++;
    return g;
}
void XRRSetCrtcGamma(Display*, RRCrtc id, XRRCrtcGamma* g) {
    if (CrtcSize(id) == 0) return Error();
    const int n = g->size;
    server.loads.push_back({true, id, {g->red, g->red + n}, {g->green, g->green + n}, {g->blue, g->blue + n}});
}
void XRRFreeGamma(XRRCrtcGamma* g) {
    server.open_gammas--;
    free(g);
}

}  // extern "C"
