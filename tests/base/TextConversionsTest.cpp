// Tests of the text conversions: the written number forms, their readers and the page address.
#include "base/TextConversions.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Clock.h"
#include "platform/Shell.h"

namespace {

class TextConversions : public ::testing::Test {
  protected:
    void SetUp() override { setDecimalSeparator('.'); }
    void TearDown() override { setDecimalSeparator('.'); }
};

}  // namespace

TEST_F(TextConversions, IntegersAndTruthValues) {
    EXPECT_EQ(toText(0), "0");
    EXPECT_EQ(toText(-42), "-42");
    EXPECT_EQ(toText(INT_MIN), "-2147483648");
    EXPECT_EQ(toText(4294967295u), "4294967295");
    EXPECT_EQ(toText(true), "true");
    EXPECT_EQ(toText(false), "false");
    EXPECT_EQ(hashes(3), "###");
    EXPECT_EQ(hashes(0), "");
    EXPECT_EQ(hashes(-2), "");
}

TEST_F(TextConversions, DoublesShowAboutFourSignificantDigitsByBand) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0"},         {-0.0, "0"},
        {1.0, "1"},         {0.25, "0.25"},
        {100.0, "100"},     {999.96, "1000"},
        {-2.5, "-2.5"},     {123.456, "123.5"},
        {12.3456, "12.35"}, {1.23456, "1.235"},
        {0.5, "0.5"},       {0.0123456, "0.01235"},
        {9.9996, "10"},     {0.0996, "0.0996"},
        {0.4, "0.4"},       {0.005 * 73, "0.365"},
        {1000.0, "1e+3"},   {1500.0, "1.5e+3"},
        {0.001, "1e-3"},    {0.005, "5e-3"},
        {-0.005, "-5e-3"},  {12345678.0, "1.235e+7"},
        {9999.6, "1e+4"},   {1e-10, "1e-10"},
        {1e300, "1e+300"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toText(c.value), c.text) << c.value;
}

TEST_F(TextConversions, BandLimitIsTestedOnSinglePrecisionMagnitude) {
    // 0.01 is just below 0.01 in single precision yet above 0.009999999: five decimals.
    EXPECT_EQ(toText(0.01), "0.01");
    EXPECT_EQ(toText(-0.01), "-0.01");
    EXPECT_EQ(toText(0.0099999), "1e-2");
    // 999.99997 is below 1000 in double precision but rounds to 1000 in single precision.
    EXPECT_EQ(toText(999.99997), "1e+3");
}

TEST_F(TextConversions, DecimalCommaIsWrittenWhenItIsTheSeparator) {
    setDecimalSeparator(',');
    EXPECT_EQ(decimalSeparator(), ',');
    EXPECT_EQ(toText(0.5), "0,5");
    EXPECT_EQ(toText(1500.0), "1,5e+3");
    EXPECT_EQ(toText(0.005), "5e-3");
    EXPECT_EQ(toText(3.0), "3");
}

TEST_F(TextConversions, UnusableSeparatorFallsBackToPoint) {
    setDecimalSeparator('5');
    EXPECT_EQ(decimalSeparator(), '.');
    setDecimalSeparator('\0');
    EXPECT_EQ(decimalSeparator(), '.');
}

TEST_F(TextConversions, ToDoubleReadsEitherSeparatorUnderEither) {
    for (char separator : {'.', ','}) {
        setDecimalSeparator(separator);
        EXPECT_DOUBLE_EQ(toDouble("0.5"), 0.5) << separator;
        EXPECT_DOUBLE_EQ(toDouble("0,5"), 0.5) << separator;
        EXPECT_DOUBLE_EQ(toDouble("0,4"), 0.4) << separator;
        EXPECT_DOUBLE_EQ(toDouble(" -1.5E+2 "), -150.0) << separator;
        EXPECT_DOUBLE_EQ(toDouble("5e-3"), 0.005) << separator;
        EXPECT_DOUBLE_EQ(toDouble("+7"), 7.0) << separator;
        EXPECT_DOUBLE_EQ(toDouble(".25"), 0.25) << separator;
    }
}

TEST_F(TextConversions, ToDoubleGivesOneForAnythingElse) {
    for (const char* text : {"abc", "", " ", "1.2.3", "1,2.3", "e5", "1e", "1e+", "-", "0x10",
                             "nan", "inf", "1e999", "1 000", "12abc"}) {
        EXPECT_DOUBLE_EQ(toDouble(text), 1.0) << text;
    }
}

TEST_F(TextConversions, WrittenDoublesReadBack) {
    for (char separator : {'.', ','}) {
        setDecimalSeparator(separator);
        EXPECT_DOUBLE_EQ(toDouble(toText(0.005)), 0.005);
        EXPECT_DOUBLE_EQ(toDouble(toText(0.4)), 0.4);
        EXPECT_DOUBLE_EQ(toDouble(toText(-2.5)), -2.5);
        EXPECT_DOUBLE_EQ(toDouble(toText(1500.0)), 1500.0);
        EXPECT_DOUBLE_EQ(toDouble(toText(0.01)), 0.01);
    }
}

TEST_F(TextConversions, ToIntReadsLeadingDigits) {
    EXPECT_EQ(toInt("+42"), 42);
    EXPECT_EQ(toInt("4 2"), 4);
    EXPECT_EQ(toInt(" -7"), -7);
    EXPECT_EQ(toInt("\t\r\n\v\f9"), 9);
    EXPECT_EQ(toInt("12abc"), 12);
    EXPECT_EQ(toInt(""), 0);
    EXPECT_EQ(toInt("abc"), 0);
    EXPECT_EQ(toInt("- 5"), 0);
    EXPECT_EQ(toInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(toInt("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(toInt("-2147483648"), INT_MIN);
}

TEST_F(TextConversions, ToBoolAcceptsOnlyTheExactWord) {
    EXPECT_TRUE(toBool("true"));
    EXPECT_TRUE(toBool("  true\r"));
    EXPECT_TRUE(toBool("\ttrue\x01"));
    for (const char* text : {"True", "TRUE", "1", "yes", "", "true\x7f", "tru e", "truee"}) {
        EXPECT_FALSE(toBool(text)) << text;
    }
}

TEST_F(TextConversions, SplitAtCutsAtTheFirstOccurrence) {
    AnsiString left = "old", right = "old";
    EXPECT_FALSE(splitAt("tempo", '=', left, right));
    EXPECT_EQ(left, "tempo");
    EXPECT_EQ(right, "");
    EXPECT_TRUE(splitAt("=5", '=', left, right));
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "5");
    EXPECT_TRUE(splitAt("a=b=c", '=', left, right));
    EXPECT_EQ(left, "a");
    EXPECT_EQ(right, "b=c");
    AnsiString both = "key=value";
    EXPECT_TRUE(splitAt(both, '=', both, right));
    EXPECT_EQ(both, "key");
    EXPECT_EQ(right, "value");
}

TEST_F(TextConversions, MakerPageNamesOurOwnHost) {
    EXPECT_EQ(webHost().rfind("www.", 0), 0u);
    EXPECT_EQ(webHost().find('/'), AnsiString::npos);
    EXPECT_EQ(pageName(), "index.html");
}

TEST_F(TextConversions, OpenMakerPageHandsFullAddressToTheOpener) {
    char pattern[] = "/tmp/brevant-page-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string folder = pattern;
    std::string opener = folder + "/opener", marker = folder + "/opened";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << marker << ".part'\nmv '"
                          << marker << ".part' '" << marker << "'\n";
    chmod(opener.c_str(), 0755);
    platform::setWebOpener(opener);
    pageName() = "brevant.html";
    openMakerPage();
    for (int i = 0; i < 1000 && access(marker.c_str(), F_OK) != 0; i++) {
        platform::sleepMilliseconds(10);
    }
    platform::setWebOpener("");
    pageName() = "index.html";
    std::stringstream got;
    got << std::ifstream(marker).rdbuf();
    EXPECT_EQ(got.str(), "http://" + webHost() + "/brevant.html");
    EXPECT_EQ(webHost(), "www.brevant.org");
    std::system(("rm -rf '" + folder + "'").c_str());
}
