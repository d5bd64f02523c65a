#include <cmath>

#include "unit.h"

namespace {

// top: each ramp's last entry over 257, then the red entry past the count, left alone.
TEST(MakeTables, EdgesRefusalsAndCounts) {
    const struct { float k; int n, result; std::vector<int> top; } rows[] = {
        {950, 256, 0, {0xff, 0x38, 0, 7}},       {999.9f, 256, 0, {0xff, 0x38, 0, 7}},
        {6499.99f, 256, 0, {0xff, 0xf8, 0xfb, 7}}, {6500, 256, 0, {0xff, 0xf9, 0xfd, 7}},
        {40099.99f, 256, 0, {0x9b, 0xbc, 0xff, 7}}, {3400, 1, 0, {0xff, 0xc1, 0x84, 7}},
        {900, 256, -1, {}}, {40100, 256, -1, {}}, {NAN, 256, -1, {}}, {INFINITY, 256, -1, {}}, {-INFINITY, 256, -1, {}},
        {3400, 0, 0, {}},   {3400, -7, 0, {}},
    };
    for (const auto& row : rows) {
        std::vector<uint16_t> r(257, 7), g(257, 7), b(257, 7);
        EXPECT_EQ(MakeTables(row.k, r.data(), g.data(), b.data(), row.n), row.result) << row.k;
        if (row.top.empty())
            EXPECT_TRUE(r == std::vector<uint16_t>(257, 7) && g == r && b == r) << row.k << " " << row.n;
        else
            EXPECT_EQ(std::vector<int>({r[row.n - 1] / 257, g[row.n - 1] / 257, b[row.n - 1] / 257, r[row.n]}), row.top);
    }
}

// Every entry of every ramp of every colour against floor(i * v * 65535 / (255 * (n - 1))).
TEST(MakeTables, EveryEntryIsOnTheStraightLine) {
    for (int n : {256, 1024, 2048, 4096}) {
        std::vector<uint16_t> ramps[3] = {std::vector<uint16_t>(n), std::vector<uint16_t>(n), std::vector<uint16_t>(n)};
        for (int e = 0; e < kKelvinEntries; e++) {
            ASSERT_EQ(MakeTables(1000.0f + 100.0f * e, ramps[0].data(), ramps[1].data(), ramps[2].data(), n), 0);
            for (int ch = 0; ch < 3; ch++) {
                const uint64_t v = KelvinToRGB[e] >> (16 - 8 * ch) & 0xff;
                for (int i = 0; i < n; i++)
                    ASSERT_EQ(ramps[ch][i], i * v * 65535 / (255ull * (n - 1))) << n << " " << e << " " << i;
            }
        }
    }
}

}  // namespace
