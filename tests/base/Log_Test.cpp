// Tests of Log_: stamps, newest-first order and the limit of twenty lines.
#include "base/Log_.h"

#include <gtest/gtest.h>

#include <string>

TEST(Log, RecordsNothingUntilEnabled) {
    Log_ log;
    log.add("a");
    log.addAt(5, "b");
    EXPECT_EQ(log.entries.top, -1);
    EXPECT_FALSE(log.changed);
    EXPECT_FALSE(programLog().enabled);
}

TEST(Log, StampsSecondsAndThreeDigitMillisecondsNewestFirst) {
    Log_ log;
    log.enabled = true;
    log.addAt(1234005, "first");
    log.addAt(1234050, "second");
    log.add("AudioEngine::init(): Failed");
    ASSERT_EQ(log.entries.top, 2);
    const AnsiString& newest = log.entries.items[0];
    std::size_t bar = newest.find("s|     ");
    ASSERT_GE(bar, 5u);
    EXPECT_EQ(newest[bar - 4], '.');
    EXPECT_EQ(newest.substr(bar), "s|     AudioEngine::init(): Failed");
    EXPECT_EQ(log.entries.items[1], "1234.050s|     second");
    EXPECT_EQ(log.entries.items[2], "1234.005s|     first");
    EXPECT_TRUE(log.changed);
}

TEST(Log, KeepsTheNewestTwentyLines) {
    Log_ log;
    log.enabled = true;
    for (unsigned i = 0; i < 21; i++)
        log.addAt(i * 1000 + 7, "m" + std::to_string(i));
    ASSERT_EQ(log.entries.top, 19);
    EXPECT_EQ(log.entries.items[0], "20.007s|     m20");
    EXPECT_EQ(log.entries.items[19], "1.007s|     m1");
}
