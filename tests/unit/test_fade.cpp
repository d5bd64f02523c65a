#include "console_fixture.h"

namespace {

using FadeTest = ConsoleTest;

TEST_F(FadeTest, NonPositiveDurationOnlyRecordsTheTarget) {
    for (int duration : {0, -3}) {
        EXPECT_EQ(Animate(6500, 3400, duration), 0);
        EXPECT_EQ(lastcolor, 3400);
        lastcolor = 6500;
    }
    EXPECT_TRUE(Fake().loads.empty());
}

TEST_F(FadeTest, WaitingInputEndsTheFadeOnTheTarget) {
    Type("c\n");
    EXPECT_EQ(Animate(6500, 3400, 20), -1);
    // One interpolated step, then the target itself.
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{6400, 3400}));
    EXPECT_EQ(lastcolor, 3400);
    char line[kLineBuffer];
    ASSERT_EQ(ReadLine(line, sizeof line), 0);   // the line is still there
    EXPECT_STREQ(line, "c\n");
}

TEST_F(FadeTest, BackgroundModeIgnoresInput) {
    nofork = 0;
    Type("c\n");
    EXPECT_EQ(Animate(3400, 4000, 1), 0);
    // Steps at 0.25 s, 0.5 s, 0.75 s and 1 s of a 600 K rise.
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3500, 3700, 3800, 4000}));
}

TEST_F(FadeTest, LastStepMayPassTheTarget) {
    tick_s = 0.3;   // elapsed 0.3 ... 19.8, then 20.1: past the end
    EXPECT_EQ(Animate(6500, 3400, 20), 0);
    std::vector<int> k = LoadedKelvins();
    ASSERT_EQ(k.size(), 67u);
    EXPECT_EQ(k.front(), 6400);   // 6453.5 K
    EXPECT_EQ(k.back(), 3300);    // 3384.5 K shows the entry below the target
    for (size_t i = 1; i < k.size(); i++) EXPECT_LE(k[i], k[i - 1]);
}

TEST_F(FadeTest, EqualStartAndTargetStillTakesTheWholeDuration) {
    tick_s = 0.5;
    EXPECT_EQ(Animate(5000, 5000, 2), 0);
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{5000, 5000, 5000, 5000}));
}

TEST_F(FadeTest, ClockGoingBackEndsTheFade) {
    script = {1000.0, 1000.5, 990.0};   // start, one step, then 10 s back
    EXPECT_EQ(Animate(3000, 5000, 20), 0);
    // The last step lies on the far side of the start: 3000 - 1000 K.
    EXPECT_EQ(LoadedKelvins(), (std::vector<int>{3000, 2000}));
}

TEST_F(FadeTest, EndOfInputNoLongerCutsFades) {
    CloseWriter();
    EXPECT_EQ(haskb(), 0);
    EXPECT_EQ(Animate(3400, 4000, 1), 0);
    EXPECT_EQ(Fake().loads.size(), 4u);
}

}  // namespace
