// The ramp builder, and the screens and CRTCs in what no real server shows
// safely: XF86VidMode sizes of 512, 2048 and 4096, failed size queries, CRTCs
// that draw protocol errors, more than 32 screens or CRTCs.
#include <cmath>

#include "unit.h"   // before the X headers, whose macros upset GoogleTest's

#include "display/gamma.h"
#include "display/xdisplay.h"

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

std::string FindScreensError(std::vector<FakeScreen> screens, int result = 0) {
    ResetFake(std::move(screens));
    std::string err;
    Out([&] { EXPECT_EQ(FindScreens(nullptr), result); }, &err);
    return err;
}

std::vector<std::pair<unsigned long, size_t>> Loads(float k) {
    Fake().loads.clear();
    SetKelvinAll(k);
    std::vector<std::pair<unsigned long, size_t>> loads;
    for (const FakeLoad& l : Fake().loads) loads.push_back({l.target + 1000 * l.randr, l.red.size()});
    return loads;
}

TEST(Screens, TheFirstValidScreenFixesTheSize) {
    EXPECT_EQ(FindScreensError({{512, {}}, {2048, {}}}), "Display 1 has 512 size\nDisplay 2 has 2048 size\n");
    EXPECT_EQ(std::vector<int>(validscreen, validscreen + 2), std::vector<int>({0, 1}));
    EXPECT_EQ(FindScreensError({{0, {}}, {4096, {}}, {1024, {}}, {4096, {}}}),
              "Display 1 has 0 size\nDisplay 2 has 4096 size\nDisplay 3 has 1024 size\nDisplay 4 has 4096 size\n");
    useRANDR = 0;
    EXPECT_EQ(Loads(3400), (std::vector<std::pair<unsigned long, size_t>>{{1, 4096}, {3, 4096}}));
    EXPECT_EQ(FindScreensError({{512, {}}}, -1),
              "Display 1 has 512 size\nSorry, we only support 8, 10, 11, and 12-bit displays right now.\n");
    EXPECT_NE(FindScreensError(std::vector<FakeScreen>(40, {256, {}})).find("Display 40 has 256 size\n"), std::string::npos);
    EXPECT_EQ(Loads(3400).size(), 32u);
    FindScreensError({{256, std::vector<int>(20, 256)}, {256, std::vector<int>(20, 256)}});
    useRANDR = 1;
    EXPECT_EQ(numcrtc, kSlots);
    EXPECT_EQ(Loads(3400).size(), 64u);   // 32 CRTCs, loaded once for each valid screen
}

TEST(Screens, EachCrtcTakesRampsOfItsOwnSize) {
    FindScreensError({{256, {256, 4096, 1024, 512, 0, 2048}}});
    useRANDR = 1;
    EXPECT_EQ(Loads(3400), (std::vector<std::pair<unsigned long, size_t>>{{1256, 256}, {1258, 1024}, {1261, 2048}}));
    EXPECT_EQ(LoadedKelvins(), std::vector<int>(3, 3400));
    for (float k : {900.0f, 40100.0f}) EXPECT_TRUE(Loads(k).empty());
    useRANDR = 0;
    EXPECT_TRUE(Loads(900).empty());
}

TEST(Screens, WithoutACrtcToLoadTheScreenIsLoadedThroughVidMode) {
    FindScreensError({{512, {256}}, {4096, {4096, 4096}}});
    useRANDR = 1;
    EXPECT_EQ(Loads(3400), (std::vector<std::pair<unsigned long, size_t>>{{1, 4096}}));
}

}  // namespace
