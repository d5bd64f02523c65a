#include "fake_x.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/xf86vmode.h>
#include <X11/Xlib-xcb.h>
#include <xcb/randr.h>

#include <cstdlib>
#include <cstring>

#include "display/xdisplay.h"

namespace {

FakeServer server;
XErrorHandler handler = nullptr;
char connection;   // only its address is used
std::vector<RRCrtc> asked;   // CRTC of each gamma-size question, by sequence

Display* Dpy() {
    return reinterpret_cast<Display*>(&connection);
}

void ReportError(unsigned char code) {
    server.errors_reported++;
    XErrorEvent ev{};
    ev.type = 0;
    ev.display = Dpy();
    ev.error_code = code;
    if (handler)
        handler(Dpy(), &ev);
    else
        abort();   // what Xlib's default handler amounts to
}

FakeCrtc* FindCrtc(RRCrtc id) {
    for (FakeScreen& s : server.screens)
        for (FakeCrtc& c : s.crtcs)
            if (c.id == id) return &c;
    return nullptr;
}

std::vector<uint16_t> Copy(const unsigned short* v, int n) {
    return std::vector<uint16_t>(v, v + n);
}

}  // namespace

FakeServer& Fake() {
    return server;
}

void ResetFake() {
    server = FakeServer{};
    handler = nullptr;
    asked.clear();
    display = nullptr;
    numscreen = 0;
    kEntries = 0;
    numcrtc = 0;
    memset(validscreen, 0, sizeof validscreen);
    memset(allcrtc, 0, sizeof allcrtc);
}

void FakeScreens(const std::vector<int>& sizes, int crtcs) {
    unsigned long id = 0x40;
    for (int size : sizes) {
        FakeScreen s{size, false, true, {}};
        for (int c = 0; c < crtcs; c++) s.crtcs.push_back(FakeCrtc{id++, size});
        server.screens.push_back(s);
    }
}

extern "C" {

Display* XOpenDisplay(const char*) {
    return server.reachable ? Dpy() : nullptr;
}
char* XDisplayName(const char* name) {
    static char fallback[] = ":fake";
    return name ? const_cast<char*>(name) : fallback;
}
XErrorHandler XSetErrorHandler(XErrorHandler h) {
    XErrorHandler old = handler;
    handler = h;
    return old;
}
int XScreenCount(Display*) {
    return static_cast<int>(server.screens.size());
}
Window XRootWindow(Display*, int screen) {
    return 0x100 + screen;
}
Bool XQueryExtension(Display*, const char* name, int* op, int* ev, int* err) {
    *op = *ev = *err = 0;
    return strcmp(name, "XFree86-VidModeExtension") == 0 && server.has_vidmode;
}
int XFlush(Display*) {
    server.flushes++;
    return 1;
}
int XSync(Display*, Bool) {
    server.flushes++;
    return 1;
}

Bool XF86VidModeQueryVersion(Display*, int* major, int* minor) {
    *major = 2;
    *minor = 2;
    return server.has_vidmode;
}
Bool XF86VidModeQueryExtension(Display*, int* ev, int* err) {
    *ev = *err = 0;
    return server.has_vidmode;
}
Bool XF86VidModeGetGammaRampSize(Display*, int screen, int* size) {
    FakeScreen& s = server.screens.at(screen);
    if (s.size_query_fails) {
        ReportError(BadValue);
        return False;
    }
    *size = s.ramp_size;
    return True;
}
Bool XF86VidModeSetGammaRamp(Display*, int screen, int size, unsigned short* r, unsigned short* g,
                             unsigned short* b) {
    server.loads.push_back(FakeLoad{false, static_cast<unsigned long>(screen), Copy(r, size), Copy(g, size),
                                    Copy(b, size)});
    return True;
}

XRRScreenResources* XRRGetScreenResources(Display*, Window root) {
    FakeScreen& s = server.screens.at(root - 0x100);
    if (!s.has_randr) return nullptr;
    auto* res = static_cast<XRRScreenResources*>(calloc(1, sizeof(XRRScreenResources)));
    res->ncrtc = static_cast<int>(s.crtcs.size());
    res->crtcs = static_cast<RRCrtc*>(calloc(s.crtcs.size() + 1, sizeof(RRCrtc)));
    for (size_t i = 0; i < s.crtcs.size(); i++) res->crtcs[i] = s.crtcs[i].id;
    return res;
}
void XRRFreeScreenResources(XRRScreenResources* res) {
    free(res->crtcs);
    free(res);
}
xcb_connection_t* XGetXCBConnection(Display*) {
    return reinterpret_cast<xcb_connection_t*>(&connection);
}
int xcb_flush(xcb_connection_t*) {
    server.flushes++;
    return 1;
}
xcb_randr_get_crtc_gamma_size_cookie_t xcb_randr_get_crtc_gamma_size(xcb_connection_t*, xcb_randr_crtc_t crtc) {
    asked.push_back(crtc);
    server.size_questions++;
    return {static_cast<unsigned int>(asked.size() - 1)};
}
xcb_randr_get_crtc_gamma_size_reply_t* xcb_randr_get_crtc_gamma_size_reply(
    xcb_connection_t*, xcb_randr_get_crtc_gamma_size_cookie_t cookie, xcb_generic_error_t** e) {
    FakeCrtc* c = FindCrtc(asked.at(cookie.sequence));
    if (!c || c->errors) {
        // Errors of checked replies come back to the caller, not the handler.
        server.errors_reported++;
        *e = static_cast<xcb_generic_error_t*>(calloc(1, sizeof(xcb_generic_error_t)));
        return nullptr;
    }
    auto* reply = static_cast<xcb_randr_get_crtc_gamma_size_reply_t*>(
        calloc(1, sizeof(xcb_randr_get_crtc_gamma_size_reply_t)));
    reply->size = static_cast<uint16_t>(c->gamma_size);
    return reply;
}
XRRCrtcGamma* XRRAllocGamma(int size) {
    auto* g = static_cast<XRRCrtcGamma*>(calloc(1, sizeof(XRRCrtcGamma) + 3 * size * sizeof(unsigned short)));
    g->size = size;
    g->red = reinterpret_cast<unsigned short*>(g + 1);
    g->green = g->red + size;
    g->blue = g->green + size;
    server.open_gammas++;
    return g;
}
void XRRSetCrtcGamma(Display*, RRCrtc id, XRRCrtcGamma* g) {
    FakeCrtc* c = FindCrtc(id);
    if (!c || c->errors) {
        ReportError(BadRRCrtc);
        return;
    }
    server.loads.push_back(FakeLoad{true, id, Copy(g->red, g->size), Copy(g->green, g->size), Copy(g->blue, g->size)});
}
void XRRFreeGamma(XRRCrtcGamma* g) {
    server.open_gammas--;
    free(g);
}

}  // extern "C"
