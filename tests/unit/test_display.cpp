// The ramp builder; screens and CRTCs as no real server shows them safely.
#include <cmath>
#include <optional>

#include "unit.h"   // before the X headers, whose macros upset GoogleTest's

#include "display/gamma.h"
#include "display/ramp.h"
#include "display/xdisplay.h"

namespace {

struct Table {
    float k;
    int n = 256;
    int result = 0;
    std::optional<int> shows = {};   // the temperature n entries end on; none: nothing written
};

TEST(MakeTables, EdgesAndRefusals) {
    const Table tables[] = {
        {.k = 950, .shows = 1000},
        {.k = 40099.99f, .shows = 40000},
        {.k = 3400, .n = 1, .shows = 3400},
        {.k = 900, .result = -1},
        {.k = 40100, .result = -1},
        {.k = NAN, .result = -1},
        {.k = 3400, .n = -7},
    };
    for (const Table& t : tables) {
        SCOPED_TRACE(testing::Message() << t.k << " " << t.n);
        std::vector<uint16_t> r(257, 7), g(257, 7), b(257, 7);
        EXPECT_EQ(MakeTables(t.k, r.data(), g.data(), b.data(), t.n), t.result);
        const int written = t.shows ? t.n : 0;
        if (t.shows) {
            const uint32_t colour = KelvinToRGB[(*t.shows - 1000) / 100];
            EXPECT_EQ(r[t.n - 1] / 257u << 16 | g[t.n - 1] / 257u << 8 | b[t.n - 1] / 257u, colour);
        }
        EXPECT_EQ(std::count(r.begin() + written, r.end(), 7), 257 - written);
    }
}

TEST(MakeTables, EveryEntryIsOnTheStraightLine) {
    for (int n : {256, 1024, 2048, 4096}) {
        std::vector<uint16_t> r(n), g(n), b(n);
        const std::vector<uint16_t>* ramps[3] = {&r, &g, &b};
        for (int e = 0; e < kKelvinEntries; e++) {
            ASSERT_EQ(MakeTables(1000.0f + 100.0f * e, r.data(), g.data(), b.data(), n), 0);
            for (int ch = 0; ch < 3; ch++) {
                const uint64_t v = KelvinToRGB[e] >> (16 - 8 * ch) & 0xff;
                for (int i = 0; i < n; i++)
                    ASSERT_EQ((*ramps[ch])[i], i * v * 65535 / (255ull * (n - 1)))
                        << n << " " << e << " " << i;
            }
        }
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
