// The ramp builder; screens and CRTCs as no real server shows them safely.
#include "unit.h"   // before the X headers, whose macros upset GoogleTest's

#include "display/ramp.h"
#include "display/xdisplay.h"

namespace {

struct Table {
    float k;
    int n;
    int entry;   // the table entry whose colour the ramps rise to; -1: refused
};

// Entry i of n is i/(n-1) of the colour's share of 65535, rounded down, and
// the last is the whole share. Nothing is written beyond n, nor when refused.
TEST(MakeTables, StraightLinesEdgesAndRefusals) {
    std::vector<Table> tables = {
        {.k = 950, .n = 256, .entry = 0},
        {.k = 40099.99f, .n = 256, .entry = 390},
        {.k = 3400, .n = 1, .entry = 24},
        {.k = 3400, .n = -7, .entry = 24},
        {.k = 40100, .n = 256, .entry = -1},
    };
    for (int n : {256, 1024, 2048, 4096})
        for (int e = 0; e < kKelvinEntries; e++) tables.push_back({1000.0f + 100.0f * e, n, e});
    for (const Table& t : tables) {
        SCOPED_TRACE(testing::Message() << t.k << " " << t.n);
        const int n = std::max(t.n, 0);
        std::vector<uint16_t> ramps[3], lines[3];
        for (int ch = 0; ch < 3; ch++) {
            ramps[ch] = lines[ch] = std::vector<uint16_t>(n + 1, 7);   // 7: not written
            const uint32_t v = KelvinToRGB[std::max(t.entry, 0)] >> (16 - 8 * ch) & 0xff;
            for (int i = 0; t.entry >= 0 && i < n; i++)
                lines[ch][i] = i == n - 1 ? v * 257 : i * v * 257 / (n - 1);
        }
        EXPECT_EQ(MakeTables(t.k, ramps[0].data(), ramps[1].data(), ramps[2].data(), t.n),
                  t.entry < 0 ? -1 : 0);
        for (int ch = 0; ch < 3; ch++) EXPECT_EQ(ramps[ch], lines[ch]) << ch;
    }
}

// What FindScreens says on standard error.
std::string Found(std::vector<FakeScreen> screens) {
    ResetFake(std::move(screens));
    std::string err;
    Out([&] { EXPECT_EQ(FindScreens(nullptr), 0); }, &err);
    return err;
}

// Each load of temperature k: "CRTC id" or "screen n", its ramps' size and temperature.
std::vector<std::string> Loads(float k, int randr) {
    useRANDR = randr;
    Fake().loads.clear();
    SetKelvinAll(k);
    std::vector<std::string> loads;
    for (const FakeLoad& l : Fake().loads)
        loads.push_back((l.randr ? "CRTC " : "screen ") + std::to_string(l.target) + ": " +
                        std::to_string(l.size) + ", " + std::to_string(l.kelvin) + " K");
    return loads;
}

// XF86VidMode: a failed size query, 512, and the first valid size ruling out 2048.
TEST(Screens, TheFirstValidScreenFixesTheSize) {
    EXPECT_EQ(Found({{0, {}}, {512, {}}, {4096, {}}, {2048, {}}, {4096, {}}}),
              "Display 1 has 0 size\nDisplay 2 has 512 size\nDisplay 3 has 4096 size\n"
              "Display 4 has 2048 size\nDisplay 5 has 4096 size\n");
    const std::vector<std::string> loads = {"screen 2: 4096, 3400 K", "screen 4: 4096, 3400 K"};
    EXPECT_EQ(Loads(3400, 0), loads);
    const std::string forty = Found(std::vector<FakeScreen>(40, {256, {}}));
    EXPECT_TRUE(forty.ends_with("Display 40 has 256 size\n")) << forty;
    EXPECT_EQ(Loads(3400, 0).size(), 32u);
    // Only the fake shows this: a real server's 33rd CRTC went unloaded by chance.
    Found({{256, std::vector<int>(20, 256)}, {256, std::vector<int>(20, 256)}});
    EXPECT_EQ(numcrtc, 32);
}

TEST(Screens, EachCrtcTakesRampsOfItsOwnSize) {
    Found({{256, {256, 4096, 1024, 512, 0, 2048}}});
    const std::vector<std::string> loads = {"CRTC 256: 256, 3400 K", "CRTC 258: 1024, 3400 K",
                                            "CRTC 261: 2048, 3400 K"};
    EXPECT_EQ(Loads(3400, 1), loads);
    EXPECT_TRUE(Loads(900, 1).empty());
}

TEST(Screens, WithoutACrtcToLoadTheScreenIsLoadedThroughVidMode) {
    Found({{512, {256}}, {4096, {4096, 4096}}});
    EXPECT_EQ(Loads(3400, 1), (std::vector<std::string>{"screen 1: 4096, 3400 K"}));
}

}  // namespace
