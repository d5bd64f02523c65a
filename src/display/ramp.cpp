#include "display/ramp.h"

namespace {

// Table index of a temperature: the entry at or below it, or -1 when the
// temperature lies outside the table (or is not a number).
int KelvinIndex(float k) {
    const float q = (k - 1000.0f) / 100.0f;
    // Truncation toward zero maps (-1, 0) to entry 0; NaN fails both tests.
    if (!(q > -1.0f && q < static_cast<float>(kKelvinEntries))) return -1;
    return static_cast<int>(q);
}

// ramp[i] = floor(i * v * 257 / (n - 1)) for i in [0, n): a straight line
// from 0 to v's share of 65535, kept as a running quotient and remainder so
// that it is exact without a division per entry.
void FillChannel(uint16_t* ramp, uint32_t v, int n) {
    const uint32_t step = v * 257;   // at most 65535
    if (n == 1) {
        ramp[0] = static_cast<uint16_t>(step);
        return;
    }
    const uint32_t div = static_cast<uint32_t>(n - 1);
    const uint32_t step_q = step / div, step_r = step % div;
    uint32_t q = 0, r = 0;
    for (int i = 0; i < n; i++) {
        ramp[i] = static_cast<uint16_t>(q);
        q += step_q;
        r += step_r;
        if (r >= div) {
            q++;
            r -= div;
        }
    }
}

}  // namespace

int MakeTables(float k, uint16_t* red, uint16_t* green, uint16_t* blue, int n) {
    const int index = KelvinIndex(k);
    if (index < 0) return -1;
    if (n <= 0) return 0;
    const uint32_t rgb = KelvinToRGB[index];
    FillChannel(red, (rgb >> 16) & 0xff, n);
    FillChannel(green, (rgb >> 8) & 0xff, n);
    FillChannel(blue, rgb & 0xff, n);
    return 0;
}
