#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "display/ramp.h"

namespace {

struct Ramps {
    std::vector<uint16_t> r, g, b;
    explicit Ramps(int n, uint16_t fill = 0xabcd) : r(n, fill), g(n, fill), b(n, fill) {}
    int Make(float k) { return MakeTables(k, r.data(), g.data(), b.data(), static_cast<int>(r.size())); }
    bool Untouched() const {
        for (size_t i = 0; i < r.size(); i++)
            if (r[i] != 0xabcd || g[i] != 0xabcd || b[i] != 0xabcd) return false;
        return true;
    }
};

uint32_t Entry(int kelvin) {
    return KelvinToRGB[(kelvin - 1000) / 100];
}

// The colour a ramp set ends on, as 0xRRGGBB.
uint32_t Tops(const Ramps& m) {
    size_t last = m.r.size() - 1;
    return (m.r[last] / 257u) << 16 | (m.g[last] / 257u) << 8 | m.b[last] / 257u;
}

}  // namespace

TEST(BlackbodyTable, LandmarksAndShape) {
    EXPECT_EQ(Entry(1000), 0xff3800u);
    EXPECT_EQ(Entry(2000), 0xff8912u);
    EXPECT_EQ(Entry(3400), 0xffc184u);
    EXPECT_EQ(Entry(6500), 0xfff9fdu);
    EXPECT_EQ(Entry(10000), 0xccdbffu);
    EXPECT_EQ(KelvinToRGB[kKelvinEntries - 1], 0x9bbcffu);
    for (int i = 0; i < kKelvinEntries; i++) {
        uint32_t c = KelvinToRGB[i];
        SCOPED_TRACE(1000 + 100 * i);
        EXPECT_EQ(c >> 24, 0u);
        EXPECT_TRUE((c >> 16 & 0xff) == 0xff || (c >> 8 & 0xff) == 0xff || (c & 0xff) == 0xff);
        EXPECT_NE(c, 0xffffffu);
        EXPECT_LE(c, 0xfff9fdu);   // 6500 K is the largest entry
        if (i > 0) {
            EXPECT_GE(c & 0xff, KelvinToRGB[i - 1] & 0xff);   // blue never falls
        }
    }
}

TEST(MakeTables, WorkedExampleAt3400K) {
    struct Row { int n; int idx[6]; uint16_t red[6], green[6], blue[6]; };
    const Row rows[] = {
        {256, {0, 1, 2, 3, 128, 255}, {0, 257, 514, 771, 32896, 65535}, {0, 194, 389, 583, 24897, 49601},
         {0, 133, 266, 399, 17028, 33924}},
        {1024, {0, 1, 2, 3, 512, 1023}, {0, 64, 128, 192, 32799, 65535}, {0, 48, 96, 145, 24824, 49601},
         {0, 33, 66, 99, 16978, 33924}},
    };
    for (const Row& row : rows) {
        Ramps m(row.n);
        ASSERT_EQ(m.Make(3400.0f), 0);
        for (int j = 0; j < 6; j++) {
            SCOPED_TRACE(testing::Message() << "n=" << row.n << " i=" << row.idx[j]);
            EXPECT_EQ(m.r[row.idx[j]], row.red[j]);
            EXPECT_EQ(m.g[row.idx[j]], row.green[j]);
            EXPECT_EQ(m.b[row.idx[j]], row.blue[j]);
        }
    }
    Ramps day(256);
    ASSERT_EQ(day.Make(6500.0f), 0);
    EXPECT_EQ(day.r[255], 65535);
    EXPECT_EQ(day.g[255], 63993);
    EXPECT_EQ(day.b[255], 65021);
}

TEST(MakeTables, TableEdgesAndRefusals) {
    struct Case { float k; int result; uint32_t colour; };
    const Case cases[] = {
        {950.0f, 0, 0xff3800},     {999.9f, 0, 0xff3800},   {1000.0f, 0, 0xff3800},
        {6499.99f, 0, 0xfff8fb},   {6500.0f, 0, 0xfff9fd},  {40000.0f, 0, 0x9bbcff},
        {40099.99f, 0, 0x9bbcff},  {900.0f, -1, 0},         {899.0f, -1, 0},
        {40100.0f, -1, 0},         {-5.0f, -1, 0},          {1e30f, -1, 0},
        {NAN, -1, 0},              {INFINITY, -1, 0},       {-INFINITY, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.k);
        Ramps m(256);
        EXPECT_EQ(m.Make(c.k), c.result);
        if (c.result == 0)
            EXPECT_EQ(Tops(m), c.colour);
        else
            EXPECT_TRUE(m.Untouched());
    }
    Ramps cold(256);
    cold.Make(1000.0f);
    for (uint16_t v : cold.b) EXPECT_EQ(v, 0);
}

TEST(MakeTables, CountsOfZeroOrLessWriteNothingAndOneIsFullScale) {
    Ramps m(4);
    EXPECT_EQ(MakeTables(3400.0f, m.r.data(), m.g.data(), m.b.data(), 0), 0);
    EXPECT_EQ(MakeTables(3400.0f, m.r.data(), m.g.data(), m.b.data(), -7), 0);
    EXPECT_TRUE(m.Untouched());
    EXPECT_EQ(MakeTables(3400.0f, m.r.data(), m.g.data(), m.b.data(), 1), 0);
    EXPECT_EQ(m.r[0], 0xff * 257);
    EXPECT_EQ(m.g[0], 0xc1 * 257);
    EXPECT_EQ(m.b[0], 0x84 * 257);
    EXPECT_EQ(m.r[1], 0xabcd);   // nothing past the count
}

// Every entry of every ramp against the plain 64-bit formula, for every
// table entry and every ramp size the hardware offers.
TEST(MakeTables, EveryEntryMatchesTheStraightLine) {
    for (int n : {256, 1024, 2048, 4096}) {
        Ramps m(n);
        for (int e = 0; e < kKelvinEntries; e++) {
            ASSERT_EQ(m.Make(1000.0f + 100.0f * e), 0);
            const uint32_t c = KelvinToRGB[e];
            const uint64_t v[3] = {c >> 16 & 0xff, c >> 8 & 0xff, c & 0xff};
            const std::vector<uint16_t>* ramps[3] = {&m.r, &m.g, &m.b};
            for (int ch = 0; ch < 3; ch++) {
                const std::vector<uint16_t>& ramp = *ramps[ch];
                ASSERT_EQ(ramp[n - 1], v[ch] * 257);
                for (int i = 0; i < n; i++) {
                    uint64_t want = i * v[ch] * 65535 / (255ull * (n - 1));
                    ASSERT_EQ(ramp[i], want) << "n=" << n << " entry=" << e << " ch=" << ch << " i=" << i;
                    if (i > 0) {
                        ASSERT_GE(ramp[i], ramp[i - 1]);
                    }
                }
            }
        }
    }
}

namespace {

// Index of the first of the n entries that is not floor(i * v * 257 / (n - 1))
// (v * 257 alone for n == 1), or -1. Checked without a division: q is that
// floor exactly when q * (n - 1) <= i * v * 257 < (q + 1) * (n - 1).
int FirstOffTheLine(const std::vector<uint16_t>& ramp, uint64_t v, int n) {
    if (n == 1) return ramp[0] == v * 257 ? -1 : 0;
    const uint64_t div = static_cast<uint64_t>(n) - 1, step = v * 257;
    for (int i = 0; i < n; i++) {
        const uint64_t x = static_cast<uint64_t>(i) * step, below = ramp[i] * div;
        if (below > x || x - below >= div) return i;
    }
    return -1;
}

// Builds the ramps of table entry e with n entries into buffers longer than
// n, and checks every entry against the line and the entries past n untouched.
testing::AssertionResult OnTheLine(int e, int n) {
    constexpr int kPast = 64;
    Ramps m(n + kPast);
    if (MakeTables(1000.0f + 100.0f * e, m.r.data(), m.g.data(), m.b.data(), n) != 0)
        return testing::AssertionFailure() << "refused n=" << n << " entry=" << e;
    const uint32_t c = KelvinToRGB[e];
    const uint64_t v[3] = {c >> 16 & 0xff, c >> 8 & 0xff, c & 0xff};
    const std::vector<uint16_t>* ramps[3] = {&m.r, &m.g, &m.b};
    for (int ch = 0; ch < 3; ch++) {
        const std::vector<uint16_t>& ramp = *ramps[ch];
        const int bad = FirstOffTheLine(ramp, v[ch], n);
        if (bad >= 0)
            return testing::AssertionFailure() << "n=" << n << " entry=" << e << " ch=" << ch << " v=" << v[ch]
                                               << ": ramp[" << bad << "] = " << ramp[bad];
        for (int i = n; i < n + kPast; i++)
            if (ramp[i] != 0xabcd)
                return testing::AssertionFailure() << "n=" << n << " entry=" << e << " ch=" << ch << ": wrote ramp["
                                                   << i << "] past the end";
    }
    return testing::AssertionSuccess();
}

// Table entries whose channels spread over the range: 0 and 18 (the smallest
// non-zero one) at 1000 and 2000 K, odd and even values, 193 at 3400 K, 254
// at 6600 K, 255 everywhere.
constexpr int kSpreadEntries[] = {0, 10, 24, 55, 56, 90, 390};

}  // namespace

// MakeTables fills whole blocks of entries with vector instructions, picking
// its AVX2 or SSE2 copy from the processor at run time, and the rest of the
// ramp one entry at a time. Going through MakeTables, these tests check the
// copy this processor gets: on the AMD EPYC test machine (AVX-512 and AVX2)
// that is the AVX2 one. Every size up to 4096 covers every remainder of the
// block width and every number of whole blocks.
TEST(MakeTables, EverySizeUpTo4096IsOnTheLine) {
    for (int e : kSpreadEntries)
        for (int n = 1; n <= 4096; n++) ASSERT_TRUE(OnTheLine(e, n));
}

TEST(MakeTables, EveryTableEntryIsOnTheLineAtSmallAndAwkwardSizes) {
    for (int e = 0; e < kKelvinEntries; e++) {
        for (int n = 1; n <= 300; n++) ASSERT_TRUE(OnTheLine(e, n));
        for (int n : {1000, 1023, 1025, 3000, 4095}) ASSERT_TRUE(OnTheLine(e, n));
    }
}

// Past 16384 entries the remainders outgrow the vector lanes and the ramp is
// built one entry at a time; both sides of that edge must be on the line.
TEST(MakeTables, LargeSizesAreOnTheLine) {
    for (int n : {4097, 8191, 8192, 16383, 16384, 16385, 16386, 32768, 65535, 65536, 65537, 100003})
        for (int e : kSpreadEntries) ASSERT_TRUE(OnTheLine(e, n));
}
