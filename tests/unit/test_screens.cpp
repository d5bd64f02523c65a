// What no real server shows safely: XF86VidMode sizes of 512, 2048 and 4096,
// failed size queries, CRTCs that draw protocol errors, more than 32 screens.
#include "unit.h"   // before the X headers, whose macros upset GoogleTest's

#include "display/gamma.h"
#include "display/xdisplay.h"

namespace {

std::string Find(std::vector<FakeScreen> screens, int result = 0) {
    ResetFake(std::move(screens));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(FindScreens(nullptr), result);
    testing::internal::GetCapturedStdout();
    return testing::internal::GetCapturedStderr();
}

std::vector<std::pair<unsigned long, size_t>> Loads(float k) {
    Fake().loads.clear();
    SetKelvinAll(k);
    std::vector<std::pair<unsigned long, size_t>> loads;
    for (const FakeLoad& l : Fake().loads) loads.push_back({l.target + 1000 * l.randr, l.red.size()});
    return loads;
}

TEST(Screens, TheFirstValidScreenFixesTheSize) {
    EXPECT_EQ(Find({{512, {}}, {2048, {}}}), "Display 1 has 512 size\nDisplay 2 has 2048 size\n");
    EXPECT_EQ(std::vector<int>(validscreen, validscreen + 2), std::vector<int>({0, 1}));
    EXPECT_EQ(Find({{0, {}}, {4096, {}}, {1024, {}}, {4096, {}}}),
              "Display 1 has 0 size\nDisplay 2 has 4096 size\nDisplay 3 has 1024 size\nDisplay 4 has 4096 size\n");
    useRANDR = 0;
    EXPECT_EQ(Loads(3400), (std::vector<std::pair<unsigned long, size_t>>{{1, 4096}, {3, 4096}}));
    EXPECT_EQ(Find({{512, {}}}, -1),
              "Display 1 has 512 size\nSorry, we only support 8, 10, 11, and 12-bit displays right now.\n");
    EXPECT_NE(Find(std::vector<FakeScreen>(40, {256, {}})).find("Display 40 has 256 size\n"), std::string::npos);
    EXPECT_EQ(Loads(3400).size(), 32u);
}

TEST(Screens, EachCrtcTakesRampsOfItsOwnSize) {
    Find({{256, {256, 4096, 1024, 512, 0, 2048}}});
    useRANDR = 1;
    EXPECT_EQ(Loads(3400), (std::vector<std::pair<unsigned long, size_t>>{{1256, 256}, {1258, 1024}, {1261, 2048}}));
    EXPECT_EQ(LoadedKelvins(), std::vector<int>(3, 3400));
    EXPECT_EQ(Fake().open_gammas, 0);
    for (float k : {900.0f, 40100.0f}) EXPECT_TRUE(Loads(k).empty());
    useRANDR = 0;
    EXPECT_TRUE(Loads(900).empty());
    EXPECT_EQ(Fake().open_gammas, 0);
}

TEST(Screens, WithoutACrtcToLoadTheScreenIsLoadedThroughVidMode) {
    Find({{512, {256}}, {4096, {4096, 4096}}});
    useRANDR = 1;
    EXPECT_EQ(Loads(3400), (std::vector<std::pair<unsigned long, size_t>>{{1, 4096}}));
    EXPECT_EQ(LoadedKelvins(), std::vector<int>{3400});
}

}  // namespace
