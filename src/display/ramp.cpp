#include "display/ramp.h"

#include <array>
#include <cstring>

namespace {

// Table index of a temperature: the entry at or below it, or -1 when the
// temperature lies outside the table (or is not a number).
int KelvinIndex(float k) {
    const float q = (k - 1000.0f) / 100.0f;
    // Truncation toward zero maps (-1, 0) to entry 0; NaN fails both tests.
    if (!(q > -1.0f && q < static_cast<float>(kKelvinEntries))) return -1;
    return static_cast<int>(q);
}

// ramp[i] = floor(i * step / div) for i in [from, to), kept as a running
// quotient and remainder: exact for every ramp size, one entry at a time.
void FillPlain(uint16_t* ramp, uint32_t step, uint32_t div, int from, int to) {
    if (from >= to) return;   // spares the divisions below
    const uint32_t step_q = step / div, step_r = step % div;
    const uint64_t start = static_cast<uint64_t>(from) * step;
    uint32_t q = static_cast<uint32_t>(start / div), r = static_cast<uint32_t>(start % div);
    for (int i = from; i < to; i++) {
        ramp[i] = static_cast<uint16_t>(q);
        q += step_q;
        r += step_r;
        if (r >= div) {
            q++;
            r -= div;
        }
    }
}

// The same line for div < 2^14, kWidth * kChains entries (a block) per step,
// with no serial dependency between entries. Lane j of chain c holds, in 16
// bits, the quotient q and remainder r of (i + c * kWidth + j) * step / div
// for the block at i. Moving on a block adds the quotient and remainder of
// a block's worth of step to every lane, then takes div back off the
// remainders that reached it and carries one into their quotients.
// Remainders stay below 2 * div < 2^15, so the signed 16-bit comparison that
// SSE2 and AVX2 have finds the carries; a quotient can pass 65535 only past
// the end of the ramp, where its wrapping is never stored. The chains are
// independent, which lets the processor overlap their short dependency
// chains. Returns how many entries it filled: whole blocks from the start.
template <int kWidth, int kChains>
[[gnu::always_inline]] inline int FillBlocks(uint16_t* ramp, uint32_t step, uint32_t div, int n) {
    typedef uint16_t Lanes __attribute__((vector_size(kWidth * sizeof(uint16_t))));
    typedef int16_t SignedLanes __attribute__((vector_size(kWidth * sizeof(uint16_t))));
    // Lanes as stored into the ramp: at any entry, and as uint16_t.
    typedef uint16_t RampLanes __attribute__((vector_size(kWidth * sizeof(uint16_t)), aligned(2), may_alias));
    constexpr int kBlock = kWidth * kChains;
    if (n < kBlock) return 0;
    const uint16_t d = static_cast<uint16_t>(div);
    // Carries are found by "> div - 1": GCC makes two instructions of ">= div".
    const int16_t below_d = static_cast<int16_t>(div - 1);

    // The first block, without a division per entry. With q1 and r1 the
    // quotient and remainder of step / div, the quotient of j * step is
    // j * q1 + floor(j * r1 / div). For j < 256, floor(j * frac / 256) with
    // frac = floor(r1 * 256 / div) falls short of that last term by at most
    // one, which the remainder then shows. Products may wrap: the results (a
    // remainder below 2 * div, a quotient modulo 2^16) are exact modulo 2^16.
    static_assert(kBlock <= 256);
    const uint32_t scaled = (step << 8) / div;   // q1 above frac
    const uint16_t q1 = static_cast<uint16_t>(scaled >> 8), frac = static_cast<uint16_t>(scaled & 0xff);
    const uint16_t r1 = static_cast<uint16_t>(step - q1 * div);
    static constexpr std::array<uint16_t, kBlock> kIndex = [] {
        std::array<uint16_t, kBlock> index{};
        for (int j = 0; j < kBlock; j++) index[j] = static_cast<uint16_t>(j);
        return index;
    }();
    Lanes q[kChains], r[kChains];
    for (int c = 0; c < kChains; c++) {
        Lanes j;
        memcpy(&j, &kIndex[c * kWidth], sizeof j);
        const Lanes e = j * frac >> 8;
        const Lanes rest = j * r1 - e * d;   // below 2 * div
        const Lanes over = reinterpret_cast<Lanes>(reinterpret_cast<SignedLanes>(rest) > below_d);
        q[c] = j * q1 + e - over;
        r[c] = rest - (over & d);
    }
    const uint32_t jump = kBlock * step;   // a block's worth
    const uint16_t jump_q = static_cast<uint16_t>(jump / div), jump_r = static_cast<uint16_t>(jump % div);

    int i = 0;
    for (; i + kBlock <= n; i += kBlock) {
#pragma GCC unroll 4
        for (int c = 0; c < kChains; c++) {
            *reinterpret_cast<RampLanes*>(ramp + i + c * kWidth) = q[c];
            r[c] += jump_r;
            // All ones (minus one) where the remainder reached div.
            const Lanes carry = reinterpret_cast<Lanes>(reinterpret_cast<SignedLanes>(r[c]) > below_d);
            r[c] -= carry & d;
            q[c] += jump_q;
            q[c] -= carry;
        }
    }
    return i;
}

// A copy of the block fill for AVX2 (4 chains of 16 lanes) and one for the
// SSE2 every x86-64 has (2 chains of 8, which fit its registers); the build
// itself stays plain x86-64. There is no AVX-512 copy: on the AMD EPYC this
// was tuned on (which has AVX-512) it ran no faster than AVX2, a 512-bit
// instruction costing two 256-bit ones there and the carries going through
// mask registers. Elsewhere the compiler maps the 8-lane copy onto whatever
// vectors the target has.
#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx2")]] int FillBlocksAvx2(uint16_t* ramp, uint32_t step, uint32_t div, int n) {
    return FillBlocks<16, 4>(ramp, step, div, n);
}
#endif
int FillBlocksBase(uint16_t* ramp, uint32_t step, uint32_t div, int n) {
    return FillBlocks<8, 2>(ramp, step, div, n);
}

using FillBlocksFn = int (*)(uint16_t*, uint32_t, uint32_t, int);

FillBlocksFn PickFillBlocks() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return FillBlocksAvx2;
#endif
    return FillBlocksBase;
}

// Largest div for FillBlocks: its remainders, below 2 * div, must fit a
// signed 16-bit lane. Larger ramps are built one entry at a time.
constexpr uint32_t kFastMaxDiv = 16383;

// ramp[i] = floor(i * v * 257 / (n - 1)) for i in [0, n): a straight line
// from 0 to v's share of 65535.
void FillChannel(uint16_t* ramp, uint32_t v, int n) {
    static const FillBlocksFn fill_blocks = PickFillBlocks();
    const uint32_t step = v * 257;   // fits: at most 65535
    if (n == 1) {
        ramp[0] = static_cast<uint16_t>(step);
        return;
    }
    const uint32_t div = static_cast<uint32_t>(n - 1);
    const int done = div <= kFastMaxDiv ? fill_blocks(ramp, step, div, n) : 0;
    FillPlain(ramp, step, div, done, n);   // what is left after the whole blocks
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
