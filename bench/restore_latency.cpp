// Time from SIGTERM to the 6500 K ramp read back from the server.
//
//   DISPLAY=:N restore_latency PROGRAM [ROUNDS]
//
// Each round starts PROGRAM in the foreground by day (the clock pinned with
// libfaketime when it is installed), lets it load, then marks every CRTC of
// screen 0 with another ramp just after one of the program's own half-second
// reloads, sends SIGTERM and polls the last CRTC until it holds the day ramp
// again. Marking right after a reload leaves ~500 ms in which only the
// restore can bring the day ramp back; a round that takes longer is dropped.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr unsigned kDayTop[3] = {0xff * 257, 0xf9 * 257, 0xfd * 257};   // 6500 K
constexpr const char* kFaketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

bool HoldsDay(Display* dpy, RRCrtc crtc) {
    XRRCrtcGamma* g = XRRGetCrtcGamma(dpy, crtc);
    if (!g) return false;
    int last = g->size - 1;
    bool day = g->red[last] == kDayTop[0] && g->green[last] == kDayTop[1] && g->blue[last] == kDayTop[2];
    XRRFreeGamma(g);
    return day;
}

void Mark(Display* dpy, const std::vector<RRCrtc>& crtcs) {
    for (RRCrtc c : crtcs) {
        int size = XRRGetCrtcGammaSize(dpy, c);
        XRRCrtcGamma* g = XRRAllocGamma(size);
        for (int i = 0; i < size; i++) g->red[i] = g->green[i] = g->blue[i] = static_cast<unsigned short>(i * 100);
        XRRSetCrtcGamma(dpy, c, g);
        XRRFreeGamma(g);
    }
    XSync(dpy, False);
}

// Polls until the CRTC holds the day ramp; returns the time or -1 after limit_ms.
double WaitDay(Display* dpy, RRCrtc crtc, double limit_ms) {
    const double start = NowMs();
    while (NowMs() - start < limit_ms)
        if (HoldsDay(dpy, crtc)) return NowMs();
    return -1;
}

pid_t Launch(const char* program) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    freopen("/dev/null", "r", stdin);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    if (access(kFaketime, R_OK) == 0) {
        setenv("LD_PRELOAD", kFaketime, 1);
        setenv("FAKETIME", "@2026-06-21 12:00:00", 1);
    }
    setenv("TZ", "UTC0", 1);
    execl(program, program, "-l", "0", "-g", "0", "-nofork", static_cast<char*>(nullptr));
    _exit(127);
}

// One round: the latency in ms, or -1 when the round could not be measured.
double Round(Display* dpy, const std::vector<RRCrtc>& crtcs, const char* program) {
    pid_t pid = Launch(program);
    double latency = -1;
    Mark(dpy, crtcs);
    if (WaitDay(dpy, crtcs.back(), 5000) >= 0) {   // the program is loading
        Mark(dpy, crtcs);
        double reload = WaitDay(dpy, crtcs.back(), 1000);   // one of its reloads
        Mark(dpy, crtcs);
        double sent = NowMs();
        kill(pid, SIGTERM);
        double back = WaitDay(dpy, crtcs.back(), 400);
        if (reload >= 0 && back >= 0) latency = back - sent;
    }
    int status = 0;
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "the program ended with status %#x\n", status);
        latency = -1;
    }
    return latency;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s PROGRAM [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? atoi(argv[2]) : 20;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 1;
    XRRScreenResources* res = XRRGetScreenResources(dpy, DefaultRootWindow(dpy));
    std::vector<RRCrtc> crtcs(res->crtcs, res->crtcs + res->ncrtc);
    XRRFreeScreenResources(res);

    std::vector<double> ms;
    for (int r = 0; r < rounds; r++) {
        double latency = Round(dpy, crtcs, argv[1]);
        if (latency >= 0) ms.push_back(latency);
    }
    if (ms.empty()) return 1;
    std::sort(ms.begin(), ms.end());
    printf("restore latency over %zu of %d rounds (all %zu CRTCs of screen 0): "
           "min %.2f ms, median %.2f ms, p90 %.2f ms, max %.2f ms\n",
           ms.size(), rounds, crtcs.size(), ms.front(), ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
    return 0;
}
