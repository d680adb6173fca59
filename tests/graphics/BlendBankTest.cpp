// The blend table bank: exact entries, the parity rule and the clamped integer tables.
#include "graphics/BlendBank.h"

#include <gtest/gtest.h>

#include "graphics/Limage.h"

namespace {

class BlendBankTest : public ::testing::Test {
  protected:
    void SetUp() override { Limage builds; }  // a Limage's construction builds the bank
    static int at(BlendTable t, int first, int second) { return t[first * 256 + second]; }
};

// The value a clamped integer result takes after the parity rule.
int withParity(int v, bool odd) {
    v = v < 0 ? 0 : v > 255 ? 255 : v;
    if ((v & 1) != odd) v += odd ? 1 : -1;
    return v;
}

TEST_F(BlendBankTest, MultiplyIsFloorOfProductWithTheSecondOperandsParity) {
    EXPECT_TRUE(BlendBank::isBuilt());
    EXPECT_EQ(at(T0, 255, 254), 254);
    EXPECT_EQ(at(T0, 128, 255), 129);
    EXPECT_EQ(at(T0, 224, 200), 174);
    for (int a = 0; a < 256; a++)
        for (int b = 0; b < 256; b++)
            ASSERT_EQ(at(T0, a, b), withParity(a * b / 255, b & 1)) << a << " " << b;
}

TEST_F(BlendBankTest, EveryTintTableKeepsTheLowestBitOfItsSecondOperand) {
    for (int n = 0; n < BlendBank::tintCount; n++)
        for (int i = 0; i < BlendBank::tableSize; i++)
            ASSERT_EQ(BlendBank::tint[n][i] & 1, i & 1) << "T" << n << " " << i;
}

TEST_F(BlendBankTest, EveryBlendTableIsOddExactlyWhenAnOperandIsOdd) {
    for (int n = 0; n < BlendBank::blendCount; n++)
        for (int i = 0; i < BlendBank::tableSize; i++)
            ASSERT_EQ(BlendBank::blend[n][i] & 1, ((i >> 8) | i) & 1) << "B" << n << " " << i;
}

TEST_F(BlendBankTest, IntegerBlendsAreClampedBeforeTheParityRule) {
    for (int s = 0; s < 256; s++)
        for (int d = 0; d < 256; d++) {
            const bool odd = (s | d) & 1;
            ASSERT_EQ(at(B0, s, d), withParity(s, odd));
            ASSERT_EQ(at(B1, s, d), withParity(s + d, odd));
            ASSERT_EQ(at(B2, s, d), withParity(s + d - 128, odd));
            ASSERT_EQ(at(B7, s, d), withParity(d - s, odd));
            ASSERT_EQ(at(B11, s, d), withParity(s > d ? s : d, odd));
        }
}

// Reference values computed independently from the table formulas.
TEST_F(BlendBankTest, CurvedTablesMatchReferenceValues) {
    EXPECT_EQ(at(T1, 100, 64), 50);
    EXPECT_EQ(at(T2, 90, 200), 132);
    EXPECT_EQ(at(T3, 200, 240), 254);  // capped at 255, then made even
    EXPECT_EQ(at(T3, 64, 100), 18);
    EXPECT_EQ(at(T4, 20, 250), 110);
    EXPECT_EQ(at(B3, 128, 128), 190);
    EXPECT_EQ(at(B4, 128, 128), 158);
    EXPECT_EQ(at(B5, 128, 128), 142);
    EXPECT_EQ(at(B6, 24, 99), 25);
    EXPECT_EQ(at(B6, 30, 100), 30);
    EXPECT_EQ(at(B8, 0, 90), 28);
    EXPECT_EQ(at(B9, 0, 255), 65);
    EXPECT_EQ(at(B10, 0, 100), 20);
    EXPECT_EQ(at(B12, 255, 100), 201);
}

}  // namespace
