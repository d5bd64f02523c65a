// Short commands typed at the program in the foreground, one per line.
#include "control/console.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "control/input.h"
#include "control/reply.h"
#include "control/settings.h"
#include "control/zip.h"
#include "display/fade.h"

namespace {

float Clamp(float v, float bound) {
    if (v > bound) v = bound;
    if (v < -bound) v = -bound;
    return v;   // NaN passes through unchanged
}

// Formats a reply and sends it without waiting for standard output.
[[gnu::format(printf, 1, 2)]] void Reply(const char* format, ...) {
    char text[kReplyMax];
    va_list args;
    va_start(args, format);
    const int len = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (len > 0) SendReply(text, std::min(static_cast<size_t>(len), sizeof text - 1));
}

void ReplyColortemp(int64_t k) {
    Reply("Colortemp=%" PRId64 "\n", k);
}

// Fades to the new night temperature before storing it.
void SetNightTemp(int32_t k) {
    if (static_cast<uint64_t>(static_cast<int64_t>(k)) != nighttemp)
        Animate(static_cast<int32_t>(nighttemp), k, kNightSetFadeS);
    nighttemp = static_cast<uint64_t>(static_cast<int64_t>(k));
    ReplyColortemp(static_cast<int64_t>(nighttemp));
}

void LookUpZip(int32_t code) {
    if (latzip(code, latitude, longitude))
        Reply("ZIPCode=%d\nLatitude=%.1f\nLongitude=%.1f\n", code, latitude, longitude);
    else
        Reply("ZIPCode=notfound\n");
}

// Shows the other temperature for a moment: there, a hold, and back.
// Input during the first fade ends the preview on the other temperature.
void Preview(bool night) {
    const int32_t night_k = static_cast<int32_t>(nighttemp);
    const int32_t now_k = night ? night_k : kDayKelvin;
    const int32_t other_k = night ? kDayKelvin : night_k;
    if (Animate(now_k, other_k, kPreviewFadeS) == -1) return;
    PauseMicro(kPreviewHoldUs);
    Animate(other_k, now_k, kPreviewFadeS);
}

// Queries and the preview, chosen by the line's first character.
void Query(char first, bool night) {
    switch (first) {
    case 'k': ReplyColortemp(static_cast<int64_t>(nighttemp)); break;
    case 'l': Reply("Latitude=%.1f\n", latitude); break;
    case 'g': Reply("Longitude=%.1f\n", longitude); break;
    case 'c': ReplyColortemp(lastcolor); break;
    case 'p': Preview(night); break;
    default: break;
    }
}

}  // namespace

void HandleLine(const char* line, bool night) {
    int n = 0;
    float v = 0.0f;
    if (sscanf(line, "k=%d", &n) == 1)
        SetNightTemp(n);
    else if (sscanf(line, "l=%f", &v) == 1)
        Reply("Latitude=%.1f\n", latitude = Clamp(v, kMaxLatitude));
    else if (sscanf(line, "g=%f", &v) == 1)
        Reply("Longitude=%.1f\n", longitude = Clamp(v, kMaxLongitude));
    else if (sscanf(line, "z=%d", &n) == 1)
        LookUpZip(n);
    else
        Query(line[0], night);
}

void ServeConsole(bool night) {
    char line[kLineBuffer];
    FlushReplies();
    // However much input waits, the pass goes on to its night test and load,
    // and a stop is served between one line and the next.
    for (int served = 0; served < kLinesPerPass && haskb(); served++) {
        line[0] = '\0';
        if (ReadLine(line, sizeof line) != 0) break;
        HandleLine(line, night);
        PauseMicro(0);
    }
}
