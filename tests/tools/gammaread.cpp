// gammaread: reads back the gamma ramps an X server holds, through RandR (per
// CRTC) and XF86VidMode (per screen), and checks them against the ramp of a
// colour. It shares no code with the program's display path, so its verdict
// is an independent one.
//
//   gammaread [-d DISPLAY] [info]       one line per ramp: size, top values, colour, kelvin
//   gammaread [-d DISPLAY] dump         every ramp in full (a header line, then a line of values)
//   gammaread [-d DISPLAY] check-crtcs [-s SCREEN] [-n COUNT] COLOUR
//   gammaread [-d DISPLAY] check-vidmode SCREEN COLOUR
//   gammaread [-d DISPLAY] match-crtcs COLOUR
//
// COLOUR is RRGGBB or 0xRRGGBB, meaning the ramp floor(i*c*257/(n-1)) on each
// channel c; or "initial", the ramp a freshly started dummy server holds.
// check-crtcs looks at every CRTC of every screen, or those of SCREEN, or the
// first COUNT in the order the screens list them. check-vidmode allows for
// XF86VidMode readback keeping only the top log2(n) bits of each entry.
// match-crtcs prints "SCREEN:INDEX 0xID" for every CRTC holding COLOUR.
//
// Exit status: 0 the ramps match (for match-crtcs: at least one does),
// 1 they do not, 2 bad usage or trouble with the display.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/ramp.h"   // KelvinToRGB, only to name a colour for people

namespace {

struct Ramp {
    std::vector<uint16_t> red, green, blue;
    int size() const { return static_cast<int>(red.size()); }
};

struct Crtc {
    int screen;
    int index;   // within its screen
    RRCrtc id;
    Ramp ramp;   // empty when the server would not give it
};

// What a ramp is compared with: a colour's straight line, or the fresh
// server's ramps.
struct Want {
    bool initial = false;
    uint32_t rgb = 0;
    std::string name;
};

Display* dpy = nullptr;
int xerrors = 0;

// A CRTC that vanished or a screen without the extension answers with a
// protocol error; count it instead of letting Xlib end the process.
int CountXError(Display*, XErrorEvent*) {
    xerrors++;
    return 0;
}

[[noreturn]] void Usage() {
    fputs("usage: gammaread [-d DISPLAY] [info | dump |\n"
          "                  check-crtcs [-s SCREEN] [-n COUNT] COLOUR |\n"
          "                  check-vidmode SCREEN COLOUR | match-crtcs COLOUR]\n"
          "COLOUR: RRGGBB, 0xRRGGBB or initial\n",
          stderr);
    exit(2);
}

[[noreturn]] void Die(const char* what) {
    fprintf(stderr, "gammaread: %s\n", what);
    exit(2);
}

int ParseInt(const char* s) {
    char* end;
    long v = strtol(s, &end, 10);
    if (*s == '\0' || *end != '\0' || v < 0 || v > 100000) Usage();
    return static_cast<int>(v);
}

Want ParseWant(const char* s) {
    Want w;
    w.name = s;
    if (strcmp(s, "initial") == 0) {
        w.initial = true;
        return w;
    }
    const char* hex = (strncmp(s, "0x", 2) == 0) ? s + 2 : s;
    char* end;
    unsigned long v = strtoul(hex, &end, 16);
    if (strlen(hex) != 6 || *end != '\0') Usage();
    w.rgb = static_cast<uint32_t>(v);
    return w;
}

// The program's ramp: a straight line from 0 to c*257 over n entries.
uint16_t LineEntry(int i, int n, unsigned c) {
    if (n == 1) return static_cast<uint16_t>(c * 257);
    return static_cast<uint16_t>(uint64_t(i) * c * 257 / uint64_t(n - 1));
}

int Log2(int n) {
    int b = 0;
    while ((1 << b) < n) b++;
    return (1 << b) == n ? b : -1;
}

// What XF86VidMode readback gives for a loaded value: the top b bits, repeated
// to fill 16 bits.
uint16_t Quantised(uint16_t v, int n) {
    int b = Log2(n);
    if (b <= 0 || b >= 16) return v;
    unsigned top = (unsigned(v) >> (16 - b)) << (16 - b);
    unsigned o = 0;
    for (int shift = 0; shift < 16; shift += b) o |= top >> shift;
    return static_cast<uint16_t>(o);
}

// Entry i of channel ch (16, 8, 0 = red, green, blue) as it should read back.
uint16_t Expected(const Want& w, bool vidmode, int i, int n, int ch) {
    if (w.initial) {
        // A fresh dummy server: CRTCs hold i*65536/n (top below 65535);
        // XF86VidMode holds the full-scale identity.
        if (vidmode) return Quantised(LineEntry(i, n, 0xff), n);
        return static_cast<uint16_t>((uint64_t(i) << 16) / n);
    }
    uint16_t v = LineEntry(i, n, (w.rgb >> ch) & 0xff);
    return vidmode ? Quantised(v, n) : v;
}

// Describes the first difference from the wanted ramp in `why`; true if none.
bool Matches(const Ramp& r, const Want& w, bool vidmode, std::string& why) {
    int n = r.size();
    if (n == 0) {
        why = "no ramp could be read";
        return false;
    }
    static const char* names[] = {"red", "green", "blue"};
    const std::vector<uint16_t>* chans[] = {&r.red, &r.green, &r.blue};
    int bad = 0;
    char first[160] = "";
    for (int c = 0; c < 3; c++) {
        for (int i = 0; i < n; i++) {
            uint16_t want = Expected(w, vidmode, i, n, 16 - 8 * c);
            uint16_t got = (*chans[c])[i];
            if (got == want) continue;
            if (bad++ == 0)
                snprintf(first, sizeof first, "%s[%d] is %u, want %u", names[c], i, got, want);
        }
    }
    if (bad == 0) return true;
    char buf[224];
    snprintf(buf, sizeof buf, "%s (%d of %d entries differ)", first, bad, 3 * n);
    why = buf;
    return false;
}

bool HasVidMode() {
    int op, ev, err;
    // Ask first: calling into a missing extension makes Xlib print a line.
    return XQueryExtension(dpy, "XFree86-VidModeExtension", &op, &ev, &err);
}

// Screen s's XF86VidMode ramp, or an empty one when there is none.
Ramp ReadVidMode(int s) {
    Ramp r;
    if (!HasVidMode()) return r;
    int n = 0;
    xerrors = 0;
    if (!XF86VidModeGetGammaRampSize(dpy, s, &n) || xerrors || n <= 0) return r;
    r.red.resize(n);
    r.green.resize(n);
    r.blue.resize(n);
    if (!XF86VidModeGetGammaRamp(dpy, s, n, r.red.data(), r.green.data(), r.blue.data()) ||
        xerrors)
        return Ramp{};
    return r;
}

// Every CRTC of every screen, in the order the screens list them (the order
// the program collects them in).
std::vector<Crtc> ReadCrtcs() {
    std::vector<Crtc> all;
    int ev, err;
    if (!XRRQueryExtension(dpy, &ev, &err)) return all;
    for (int s = 0; s < ScreenCount(dpy); s++) {
        XRRScreenResources* res = XRRGetScreenResourcesCurrent(dpy, RootWindow(dpy, s));
        if (!res) continue;
        for (int i = 0; i < res->ncrtc; i++) {
            Crtc c{s, i, res->crtcs[i], {}};
            xerrors = 0;
            XRRCrtcGamma* g = XRRGetCrtcGamma(dpy, c.id);
            if (g && !xerrors && g->size > 0) {
                c.ramp.red.assign(g->red, g->red + g->size);
                c.ramp.green.assign(g->green, g->green + g->size);
                c.ramp.blue.assign(g->blue, g->blue + g->size);
            }
            if (g) XRRFreeGamma(g);
            all.push_back(std::move(c));
        }
        XRRFreeScreenResources(res);
    }
    return all;
}

// For people: which table colour a ramp is the line of, and its temperature.
std::string Describe(const Ramp& r, bool vidmode) {
    int n = r.size();
    if (n == 0) return "unreadable";
    std::string why;
    if (Matches(r, Want{true, 0, ""}, vidmode, why)) return "initial";
    auto chan = [](uint16_t top) { return static_cast<unsigned>((top + 128) / 257); };
    uint32_t rgb = chan(r.red[n - 1]) << 16 | chan(r.green[n - 1]) << 8 | chan(r.blue[n - 1]);
    char hex[8];
    snprintf(hex, sizeof hex, "%06x", rgb);
    bool line = Matches(r, Want{false, rgb, ""}, vidmode, why);
    // Nearest table entry; the lowest temperature wins a tie, as the program
    // rounds down.
    int best = 0;
    long bestd = -1;
    for (int i = 0; i < kKelvinEntries; i++) {
        long d = 0;
        for (int ch = 0; ch <= 16; ch += 8) {
            long diff = long((KelvinToRGB[i] >> ch) & 0xff) - long((rgb >> ch) & 0xff);
            d += diff * diff;
        }
        if (bestd < 0 || d < bestd) {
            bestd = d;
            best = i;
        }
    }
    char buf[96];
    snprintf(buf, sizeof buf, "%s %s %s%dK", hex, line ? "line" : "not-a-line",
             bestd == 0 ? "" : "~", 1000 + 100 * best);
    return buf;
}

void PrintTop(const Ramp& r) {
    int n = r.size();
    if (n == 0)
        printf(" top - - -");
    else
        printf(" top %u %u %u", r.red[n - 1], r.green[n - 1], r.blue[n - 1]);
}

int Info() {
    printf("display %s screens %d\n", DisplayString(dpy), ScreenCount(dpy));
    for (int s = 0; s < ScreenCount(dpy); s++) {
        Ramp r = ReadVidMode(s);
        if (r.size() == 0) {
            printf("vidmode %d none\n", s);
            continue;
        }
        printf("vidmode %d size %d", s, r.size());
        PrintTop(r);
        printf(" %s\n", Describe(r, true).c_str());
    }
    for (const Crtc& c : ReadCrtcs()) {
        printf("crtc %d:%d 0x%lx size %d", c.screen, c.index, c.id, c.ramp.size());
        PrintTop(c.ramp);
        printf(" %s\n", Describe(c.ramp, false).c_str());
    }
    return 0;
}

void PrintValues(const Ramp& r) {
    std::string line;
    for (const auto* ch : {&r.red, &r.green, &r.blue})
        for (uint16_t v : *ch) {
            if (!line.empty()) line += ' ';
            line += std::to_string(v);
        }
    printf("%s\n", line.c_str());
}

int Dump() {
    for (int s = 0; s < ScreenCount(dpy); s++) {
        Ramp r = ReadVidMode(s);
        printf("vidmode %d %d\n", s, r.size());
        PrintValues(r);
    }
    for (const Crtc& c : ReadCrtcs()) {
        printf("crtc %d %d 0x%lx %d\n", c.screen, c.index, c.id, c.ramp.size());
        PrintValues(c.ramp);
    }
    return 0;
}

int CheckCrtcs(int screen, int count, const Want& w) {
    std::vector<Crtc> all = ReadCrtcs();
    std::vector<const Crtc*> chosen;
    for (const Crtc& c : all)
        if (screen < 0 || c.screen == screen) chosen.push_back(&c);
    if (count >= 0) {
        if (count > static_cast<int>(chosen.size())) {
            fprintf(stderr, "gammaread: asked for %d CRTCs, the display has %zu\n", count,
                    chosen.size());
            return 2;
        }
        chosen.resize(count);
    }
    // Checking nothing would prove nothing.
    if (chosen.empty()) Die("no CRTC to check");
    int bad = 0;
    for (const Crtc* c : chosen) {
        std::string why;
        if (Matches(c->ramp, w, false, why)) continue;
        bad++;
        printf("crtc %d:%d 0x%lx size %d: %s\n", c->screen, c->index, c->id, c->ramp.size(),
               why.c_str());
    }
    if (bad) {
        printf("%d of %zu CRTCs do not hold %s\n", bad, chosen.size(), w.name.c_str());
        return 1;
    }
    printf("all %zu CRTCs hold %s\n", chosen.size(), w.name.c_str());
    return 0;
}

int CheckVidMode(int screen, const Want& w) {
    if (screen >= ScreenCount(dpy)) Die("no such screen");
    Ramp r = ReadVidMode(screen);
    std::string why;
    if (!Matches(r, w, true, why)) {
        printf("vidmode %d size %d: %s\n", screen, r.size(), why.c_str());
        return 1;
    }
    printf("vidmode %d holds %s\n", screen, w.name.c_str());
    return 0;
}

int MatchCrtcs(const Want& w) {
    int hits = 0;
    for (const Crtc& c : ReadCrtcs()) {
        std::string why;
        if (!Matches(c.ramp, w, false, why)) continue;
        printf("%d:%d 0x%lx\n", c.screen, c.index, c.id);
        hits++;
    }
    return hits ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int a = 1;
    const char* name = nullptr;
    if (a + 1 < argc && strcmp(argv[a], "-d") == 0) {
        name = argv[a + 1];
        a += 2;
    }
    std::string cmd = a < argc ? argv[a++] : "info";

    dpy = XOpenDisplay(name);
    if (!dpy) {
        fprintf(stderr, "gammaread: cannot open display %s\n", XDisplayName(name));
        return 2;
    }
    XSetErrorHandler(CountXError);

    if (cmd == "info" && a == argc) return Info();
    if (cmd == "dump" && a == argc) return Dump();
    if (cmd == "check-crtcs") {
        int screen = -1, count = -1;
        while (a + 1 < argc && argv[a][0] == '-' && argv[a][1] != '\0' && argv[a][2] == '\0') {
            if (argv[a][1] == 's')
                screen = ParseInt(argv[a + 1]);
            else if (argv[a][1] == 'n')
                count = ParseInt(argv[a + 1]);
            else
                Usage();
            a += 2;
        }
        if (a + 1 != argc) Usage();
        return CheckCrtcs(screen, count, ParseWant(argv[a]));
    }
    if (cmd == "check-vidmode" && a + 2 == argc)
        return CheckVidMode(ParseInt(argv[a]), ParseWant(argv[a + 1]));
    if (cmd == "match-crtcs" && a + 1 == argc) return MatchCrtcs(ParseWant(argv[a]));
    Usage();
}
