// Tests of Log_: stamps, newest-first order and the limit of twenty lines.
#include "base/Log_.h"

#include <gtest/gtest.h>

#include <regex>

TEST(Log, RecordsNothingUntilEnabled) {
    Log_ log;
    log.add("a");
    log.addAt(5, "b");
    EXPECT_EQ(log.entries.top, -1);
    EXPECT_FALSE(log.changed);
}

TEST(Log, StampsSecondsAndThreeDigitMilliseconds) {
    Log_ log;
    log.enabled = true;
    log.addAt(1234005, "first");
    log.addAt(1234050, "second");
    log.addAt(7, "third");
    ASSERT_EQ(log.entries.top, 2);
    EXPECT_EQ(log.entries.items[0], "0.007s|     third");
    EXPECT_EQ(log.entries.items[1], "1234.050s|     second");
    EXPECT_EQ(log.entries.items[2], "1234.005s|     first");
    EXPECT_TRUE(log.changed);
}

TEST(Log, KeepsTheNewestTwentyLines) {
    Log_ log;
    log.enabled = true;
    for (unsigned i = 0; i < 21; i++)
        log.addAt(i * 1000, "m" + std::to_string(i));
    ASSERT_EQ(log.entries.top, 19);
    EXPECT_EQ(log.entries.items[0], "20.000s|     m20");
    EXPECT_EQ(log.entries.items[19], "1.000s|     m1");
}

TEST(Log, AddStampsWithTheClock) {
    Log_ log;
    log.enabled = true;
    log.add("AudioEngine::init(): Failed to create interface");
    ASSERT_EQ(log.entries.top, 0);
    EXPECT_TRUE(std::regex_match(
        log.entries.items[0],
        std::regex(
            "[0-9]+\\.[0-9]{3}s\\|     AudioEngine::init\\(\\): Failed to create interface")));
}

TEST(Log, ProgramLogIsOneObjectAndStartsDisabled) {
    EXPECT_EQ(&programLog(), &programLog());
    EXPECT_FALSE(programLog().enabled);
}
