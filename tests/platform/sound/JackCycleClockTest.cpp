// JackCycleClock: periods a JACK server skipped, told apart from a client that read its time late.
#include "platform/sound/JackCycleClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using platform::JackCycleClock;

// Frame times read in successive 256-frame periods, with what each read makes known: the frames
// owed for periods the server skipped, and how far the previous read was ahead of its period.
struct Reads {
    const char* name;
    std::vector<std::uint32_t> times;
    std::vector<std::uint32_t> owed;
    std::vector<std::uint32_t> ahead;
};

void PrintTo(const Reads& reads, std::ostream* out) {
    *out << reads.name;
}

class JackCycleClockTest : public ::testing::TestWithParam<Reads> {};

TEST_P(JackCycleClockTest, OwesOnlyConfirmedStepsAndNamesLateReads) {
    const Reads& reads = GetParam();
    JackCycleClock clock;
    for (std::size_t i = 0; i < reads.times.size(); i++) {
        EXPECT_EQ(clock.advance(reads.times[i], 256), reads.owed[i]) << "period " << i;
        EXPECT_EQ(clock.previousAhead(), reads.ahead[i]) << "period " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Periods, JackCycleClockTest,
    ::testing::Values(
        Reads{"steady", {1000, 1256, 1512, 1768}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        // The server skipped the period at 1512; the next one confirms it.
        Reads{"skipped", {1000, 1256, 1768, 2024, 2280}, {0, 0, 0, 256, 0}, {0, 0, 0, 0, 0}},
        // Two periods skipped at once, then one more right after.
        Reads{"skippedTwice", {0, 768, 1280, 1536}, {0, 0, 512, 256}, {0, 0, 0, 0}},
        // The period at 1512 ran after the server began the next one and read its time.
        Reads{"late", {1000, 1256, 1768, 1768, 2024}, {0, 0, 0, 0, 0}, {0, 0, 0, 256, 0}},
        // The period at 1512 ran late and read 2024, two periods past its own: the period at
        // 1768 ran without it, which the repeated time makes known.
        Reads{
            "lateAndSkipped", {1000, 1256, 2024, 2024, 2280}, {0, 0, 0, 256, 0}, {0, 0, 0, 256, 0}},
        // The server's frame time wraps around its 32 bits.
        Reads{"wrapping",
              {0xFFFFFF00u, 0, 512, 512, 768, 1280, 1536},
              {0, 0, 0, 0, 0, 0, 256},
              {0, 0, 0, 256, 0, 0, 0}},
        // A time that goes back (a new server) or moves less than a period owes nothing.
        Reads{"backwards", {5000, 100, 356, 400, 656}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<Reads>& info) { return std::string(info.param.name); });

// A step stays unconfirmed for exactly one period, whichever way it turns out.
TEST(JackCycleClock, AStepIsUnconfirmedUntilThePeriodAfterIt) {
    JackCycleClock clock;
    clock.advance(0, 256);
    clock.advance(768, 256);
    EXPECT_EQ(clock.unconfirmed(), 512u);
    clock.advance(1024, 256);
    EXPECT_EQ(clock.unconfirmed(), 0u);
    clock.advance(1536, 256);
    EXPECT_EQ(clock.unconfirmed(), 256u);
    clock.advance(1536, 256);
    EXPECT_EQ(clock.unconfirmed(), 0u);
}

}  // namespace
