#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "display/gamma.h"
#include "display/xdisplay.h"
#include "fake_x.h"
#include "load_check.h"

namespace {

struct Found {
    int result;
    std::string out, err;
};

class ScreensTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetFake();
        useRANDR = 1;
    }
    static Found Find() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        Found f{FindScreens(nullptr), "", ""};
        f.out = testing::internal::GetCapturedStdout();
        f.err = testing::internal::GetCapturedStderr();
        return f;
    }
    // How often each target was loaded.
    static std::multiset<unsigned long> Targets() {
        std::multiset<unsigned long> t;
        for (const FakeLoad& l : Fake().loads) t.insert(l.target);
        return t;
    }
};

TEST_F(ScreensTest, ScreenValidation) {
    struct Case {
        std::vector<int> sizes;
        int result;
        const char* out;
        const char* err;
        std::vector<int> valid;
        int entries;
    };
    const Case cases[] = {
        {{256}, 0, "Found 1 screen.\n", "Display 1 has 256 size\n", {1}, 256},
        {{1024, 256}, 0, "Found 2 screens.\n", "Display 1 has 1024 size\nDisplay 2 has 256 size\n", {1, 0}, 1024},
        {{512, 2048}, 0, "Found 2 screens.\n", "Display 1 has 512 size\nDisplay 2 has 2048 size\n", {0, 1}, 2048},
        {{4096, 4096}, 0, "Found 2 screens.\n", "Display 1 has 4096 size\nDisplay 2 has 4096 size\n", {1, 1}, 4096},
        {{512}, -1, "Found 1 screen.\n",
         "Display 1 has 512 size\nSorry, we only support 8, 10, 11, and 12-bit displays right now.\n", {0}, 0},
        {{}, -1, "Found 0 screens.\n", "Sorry, we only support 8, 10, 11, and 12-bit displays right now.\n", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        SetUp();
        FakeScreens(c.sizes, 2);
        Found f = Find();
        EXPECT_EQ(f.result, c.result);
        EXPECT_EQ(f.out, c.out);
        EXPECT_EQ(f.err, c.err);
        EXPECT_EQ(kEntries, c.entries);
        for (size_t i = 0; i < c.valid.size(); i++) EXPECT_EQ(validscreen[i], c.valid[i]) << i;
    }
}

TEST_F(ScreensTest, ServerWithoutVidModeIsRefusedEvenForRandr) {
    FakeScreens({256}, 4);
    Fake().has_vidmode = false;
    Found f = Find();
    EXPECT_EQ(f.result, -1);
    EXPECT_EQ(f.out, "Found 1 screen.\n");
    EXPECT_EQ(f.err, "Incompatible X server, sorry.\n");
}

TEST_F(ScreensTest, FailedSizeQueryMakesTheScreenInvalidNotFatal) {
    FakeScreens({256, 1024}, 2);
    Fake().screens[0].size_query_fails = true;
    Found f = Find();
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.err, "Display 1 has 0 size\nDisplay 2 has 1024 size\n");
    EXPECT_EQ(validscreen[0], 0);
    EXPECT_EQ(validscreen[1], 1);
    EXPECT_EQ(kEntries, 1024);
    EXPECT_EQ(Fake().errors_reported, 1);
}

TEST_F(ScreensTest, CannotOpenDisplayNamesWhatWasTried) {
    Fake().reachable = false;
    Found f = Find();
    EXPECT_EQ(f.result, -1);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(f.err, "Couldn't open display :fake\n.\n");
}

TEST_F(ScreensTest, RandrLoadsEveryCrtcOncePerValidScreen) {
    FakeScreens({256, 256}, 3);
    ASSERT_EQ(Find().result, 0);
    ASSERT_EQ(numcrtc, 6);
    SetKelvinAll(3400.0f);
    // The CRTC list is not split by screen: two valid screens, two passes.
    EXPECT_EQ(Fake().loads.size(), 12u);
    for (unsigned long id = 0x40; id < 0x46; id++) EXPECT_EQ(Targets().count(id), 2u) << id;
    for (const FakeLoad& l : Fake().loads) {
        EXPECT_TRUE(l.randr);
        EXPECT_EQ(LoadColour(l), 0xffc184u);
    }
    EXPECT_EQ(Fake().size_questions, 12);   // every CRTC asked on every pass
    EXPECT_EQ(Fake().open_gammas, 0);
    EXPECT_GE(Fake().flushes, 1);
}

TEST_F(ScreensTest, CrtcSizeDecidesTheRampNotTheScreen) {
    FakeScreens({256}, 4);
    Fake().screens[0].crtcs[1].gamma_size = 4096;   // refused for CRTCs
    Fake().screens[0].crtcs[2].gamma_size = 1024;
    Fake().screens[0].crtcs[3].gamma_size = 512;
    ASSERT_EQ(Find().result, 0);
    SetKelvinAll(6500.0f);
    ASSERT_EQ(Fake().loads.size(), 2u);
    EXPECT_EQ(Fake().loads[0].red.size(), 256u);
    EXPECT_EQ(Fake().loads[1].target, 0x42u);
    EXPECT_EQ(Fake().loads[1].red.size(), 1024u);
    EXPECT_EQ(Fake().loads[1].green[1023], 63993);
    EXPECT_EQ(Fake().open_gammas, 0);
}

TEST_F(ScreensTest, ProtocolErrorOnOneCrtcSkipsOnlyThatCrtc) {
    FakeScreens({256}, 3);
    ASSERT_EQ(Find().result, 0);
    Fake().screens[0].crtcs[0].errors = true;   // vanished after start-up
    SetKelvinAll(3400.0f);
    SetKelvinAll(3400.0f);
    EXPECT_EQ(Fake().loads.size(), 4u);
    EXPECT_EQ(Targets().count(0x40), 0u);
    EXPECT_EQ(Fake().errors_reported, 2);
}

TEST_F(ScreensTest, SlotsNeverOverflow) {
    FakeScreens({256, 256}, 20);   // 40 CRTCs
    ASSERT_EQ(Find().result, 0);
    EXPECT_EQ(numcrtc, kSlots);
    SetKelvinAll(3400.0f);
    EXPECT_EQ(Fake().loads.size(), 2u * kSlots);
    EXPECT_EQ(Targets().count(0x40 + 31), 2u);
    EXPECT_EQ(Targets().count(0x40 + 32), 0u);

    SetUp();
    FakeScreens(std::vector<int>(40, 256), 1);   // 40 screens
    Found f = Find();
    ASSERT_EQ(f.result, 0);
    EXPECT_NE(f.err.find("Display 40 has 256 size\n"), std::string::npos);
    EXPECT_EQ(numcrtc, kSlots);
    useRANDR = 0;
    SetKelvinAll(3400.0f);
    EXPECT_EQ(Fake().loads.size(), static_cast<size_t>(kSlots));
}

TEST_F(ScreensTest, VidModeLoadsEachValidScreenWithItsIndex) {
    FakeScreens({512, 1024, 256, 1024}, 2);
    useRANDR = 0;
    ASSERT_EQ(Find().result, 0);
    EXPECT_EQ(numcrtc, 4);   // still collected
    SetKelvinAll(3400.0f);
    ASSERT_EQ(Fake().loads.size(), 2u);
    EXPECT_FALSE(Fake().loads[0].randr);
    EXPECT_EQ(Fake().loads[0].target, 1u);
    EXPECT_EQ(Fake().loads[1].target, 3u);
    EXPECT_EQ(Fake().loads[1].red.size(), 1024u);
    EXPECT_EQ(LoadColour(Fake().loads[1]), 0xffc184u);
}

TEST_F(ScreensTest, TemperaturesOutsideTheTableLoadNothing) {
    FakeScreens({256}, 2);
    ASSERT_EQ(Find().result, 0);
    for (int randr : {1, 0}) {
        useRANDR = randr;
        SetKelvinAll(900.0f);
        SetKelvinAll(40100.0f);
        SetKelvinAll(-5.0f);
    }
    EXPECT_EQ(Fake().loads.size(), 0u);
    EXPECT_EQ(Fake().open_gammas, 0);
}

TEST_F(ScreensTest, ScreenWithoutRandrStillStarts) {
    FakeScreens({256}, 2);
    Fake().screens[0].has_randr = false;
    ASSERT_EQ(Find().result, 0);
    EXPECT_EQ(numcrtc, 0);
    SetKelvinAll(3400.0f);
    EXPECT_EQ(Fake().loads.size(), 0u);
}

}  // namespace
