// Tests of the text conversions: the written number forms, their readers and the page address.
#include "base/TextConversions.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

class TextConversions : public ::testing::Test {
  protected:
    void SetUp() override { setDecimalSeparator('.'); }
    void TearDown() override { setDecimalSeparator('.'); }
};

}  // namespace

TEST_F(TextConversions, DoublesShowAboutFourSignificantDigitsByBand) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {0.25, "0.25"},
        {100.0, "100"},
        {999.96, "1000"},
        {-2.5, "-2.5"},
        {123.456, "123.5"},
        {12.3456, "12.35"},
        {1.23456, "1.235"},
        {0.0123456, "0.01235"},
        {9.9996, "10"},
        {0.0996, "0.0996"},
        {1000.0, "1e+3"},
        {1500.0, "1.5e+3"},
        {0.001, "1e-3"},
        {0.005, "5e-3"},
        {-0.005, "-5e-3"},
        {12345678.0, "1.235e+7"},
        {9999.6, "1e+4"},
        {1e-10, "1e-10"},
        {1e300, "1e+300"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(toText(value), text) << value;
    EXPECT_EQ(hashes(3), "###");
    EXPECT_EQ(hashes(-2), "");
}

TEST_F(TextConversions, BandLimitIsTestedOnSinglePrecisionMagnitude) {
    // 0.01 lies just below 0.01 in single precision, yet above 0.009999999: five decimals.
    EXPECT_EQ(toText(0.01), "0.01");
    EXPECT_EQ(toText(-0.01), "-0.01");
    EXPECT_EQ(toText(0.0099999), "1e-2");
    // Below 1000 in double precision, 1000 in single precision.
    EXPECT_EQ(toText(999.99997), "1e+3");
}

TEST_F(TextConversions, DecimalCommaIsWrittenWhenItIsTheSeparator) {
    setDecimalSeparator(',');
    EXPECT_EQ(toText(0.5), "0,5");
    EXPECT_EQ(toText(1500.0), "1,5e+3");
    EXPECT_EQ(toText(3.0), "3");
    setDecimalSeparator('5');  // unusable: falls back to the point
    EXPECT_EQ(decimalSeparator(), '.');
}

TEST_F(TextConversions, ToDoubleReadsEitherSeparatorUnderEitherAndWhatWasWritten) {
    for (char separator : {'.', ','}) {
        setDecimalSeparator(separator);
        EXPECT_DOUBLE_EQ(toDouble("0.5"), 0.5) << separator;
        EXPECT_DOUBLE_EQ(toDouble("0,4"), 0.4) << separator;
        EXPECT_DOUBLE_EQ(toDouble(" -1.5E+2 "), -150.0) << separator;
        EXPECT_DOUBLE_EQ(toDouble("+.25"), 0.25) << separator;
        for (double value : {0.005, 0.4, -2.5, 1500.0, 0.01}) {
            EXPECT_DOUBLE_EQ(toDouble(toText(value)), value) << separator;
        }
    }
}

TEST_F(TextConversions, ToDoubleGivesOneForAnythingElse) {
    for (const char* text : {"abc", "", " ", "1.2.3", "e5", "1e", "1e+", "-", "0x10", "nan", "inf",
                             "1e999", "1 000", "12abc"}) {
        EXPECT_DOUBLE_EQ(toDouble(text), 1.0) << text;
    }
}

TEST_F(TextConversions, ToIntReadsLeadingDigitsAndSaturates) {
    const std::pair<const char*, int> cases[] = {
        {"+42", 42},
        {"4 2", 4},
        {" -7", -7},
        {"\t\r\n\v\f9", 9},
        {"12abc", 12},
        {"", 0},
        {"- 5", 0},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(toInt(text), value) << text;
}

TEST_F(TextConversions, ToBoolAcceptsOnlyTheExactWord) {
    EXPECT_TRUE(toBool("  true\r"));
    EXPECT_TRUE(toBool("\ttrue\x01"));
    for (const char* text : {"True", "TRUE", "1", "yes", "", "true\x7f", "truee"}) {
        EXPECT_FALSE(toBool(text)) << text;
    }
}

TEST_F(TextConversions, SplitAtCutsAtTheFirstOccurrence) {
    AnsiString left = "old", right = "old";
    EXPECT_FALSE(splitAt("tempo", '=', left, right));
    EXPECT_EQ(left + "|" + right, "tempo|");
    EXPECT_TRUE(splitAt("=5", '=', left, right));
    EXPECT_EQ(left + "|" + right, "|5");
    EXPECT_TRUE(splitAt("a=b=c", '=', left, right));
    EXPECT_EQ(left + "|" + right, "a|b=c");
    AnsiString both = "key=value";
    EXPECT_TRUE(splitAt(both, '=', both, right));
    EXPECT_EQ(both + "|" + right, "key|value");
}

TEST_F(TextConversions, MakerPageAddressIsOurHostAndThePageName) {
    EXPECT_EQ(makerPageAddress(), "http://www.brevant.example/index.html");
    pageName() = "brevant.html";
    EXPECT_EQ(makerPageAddress(), "http://www.brevant.example/brevant.html");
    pageName() = "index.html";
}
