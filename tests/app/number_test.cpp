#include <gtest/gtest.h>

#include "Number.h"
#include "engine_test_support.h"

namespace {

class NumberTest : public ::testing::Test {
  protected:
    void SetUp() override { ensureLibrary(); }
};

TEST_F(NumberTest, FreshNumberIsACurrentZero) {
    auto n = Number::withPrecision(50, 16);
    ASSERT_NE(n, nullptr);
    EXPECT_TRUE(bignum_iszero(n->bignum()));
    EXPECT_EQ(n->outdated(), 0);
    EXPECT_EQ(n->precision(), 50);
    EXPECT_EQ(n->radix(), 16);
    EXPECT_EQ(n->description(), "0");
}

TEST_F(NumberTest, TextIsShownAsTypedUntilTheFirstDescription) {
    auto n = Number::fromString("000123", 100, 10);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->outdated(), 1);
    EXPECT_EQ(n->displayString(), "000123");
    EXPECT_EQ(n->description(), "123");
    EXPECT_EQ(n->outdated(), 0);
    EXPECT_EQ(n->displayString(), "123");
}

TEST_F(NumberTest, DescriptionIsCachedUntilMarkedOutdated) {
    auto n = Number::fromString("123", 100, 10);
    EXPECT_EQ(n->description(), "123");
    // A change not announced with markAsOutdated is not seen: the text is cached.
    bignum_set(n->bignum(), 456);
    EXPECT_EQ(n->description(), "123");
    n->markAsOutdated();
    EXPECT_EQ(n->description(), "456");
}

TEST_F(NumberTest, RebuildUsesTheStoredPrecisionAndRadix) {
    auto n = Number::withPrecision(100, 16);
    bignum_set(n->bignum(), 255);
    n->markAsOutdated();
    EXPECT_EQ(n->description(), "ff");
    EXPECT_EQ(n->updateStringWithPrecision(100, 2), "11111111");
    EXPECT_EQ(n->radix(), 2);
    EXPECT_EQ(n->updateString(), "11111111");
}

TEST_F(NumberTest, NegativeValueIsShownWithAMinusSign) {
    auto n = Number::fromString("42", 100, 10);
    n->bignum()->sign = 2;
    EXPECT_EQ(n->description(), "-42");
    // A zero marked negative has no sign to show.
    bignum_set(n->bignum(), 0);
    n->bignum()->sign = 2;
    n->markAsOutdated();
    EXPECT_EQ(n->description(), "0");
}

TEST_F(NumberTest, LongValuesAreShortenedToThePrecision) {
    auto n = Number::fromString("1" + std::string(150, '0'), 100, 10);
    const std::string shortened = "1." + std::string(90, '0') + "x10^150";
    EXPECT_EQ(n->description(), shortened);
    EXPECT_EQ(shortened.size(), 99u);
    n->bignum()->sign = 2;
    n->markAsOutdated();
    EXPECT_EQ(n->description(), "-" + shortened);
}

TEST_F(NumberTest, PrecisionAboveTheLimitIsRefused) {
    auto n = Number::fromString("77", 100, 10);
    EXPECT_EQ(n->updateStringWithPrecision(Number::kMaxPrecision, 10), "77");
    EXPECT_EQ(n->precision(), Number::kMaxPrecision);

    n->markAsOutdated();
    EXPECT_EQ(n->updateStringWithPrecision(Number::kMaxPrecision + 1, 8), std::nullopt);
    EXPECT_EQ(n->displayString(), std::nullopt);
    EXPECT_EQ(n->outdated(), 1);
    EXPECT_EQ(n->precision(), Number::kMaxPrecision);
    EXPECT_EQ(n->radix(), 10);
}

TEST_F(NumberTest, RadixOutsideTheLibraryRangeGivesAnEmptyString) {
    auto n = Number::fromString("77", 100, 10);
    for (int32_t radix : {1, 37}) {
        n->markAsOutdated();
        EXPECT_EQ(n->updateStringWithPrecision(100, radix), "");
        EXPECT_EQ(n->outdated(), 0);
    }
}

TEST_F(NumberTest, CopyIsEqualAndIndependent) {
    auto source = Number::fromString("9876", 60, 10);
    auto twin = source->copy();
    ASSERT_NE(twin, nullptr);
    EXPECT_NE(twin->bignum(), source->bignum());
    EXPECT_EQ(twin->displayString(), "9876");
    EXPECT_EQ(twin->outdated(), 1);
    EXPECT_EQ(twin->precision(), 60);
    EXPECT_EQ(twin->radix(), 10);
    EXPECT_TRUE(bignum_eq(twin->bignum(), source->bignum()));

    bignum_set(twin->bignum(), 5);
    twin->markAsOutdated();
    EXPECT_EQ(twin->description(), "5");
    EXPECT_EQ(source->description(), "9876");
}

TEST_F(NumberTest, CopyOfANumberWithoutDisplayStringHasNone) {
    auto source = Number::fromString("3", 100, 10);
    source->updateStringWithPrecision(Number::kMaxPrecision + 1, 10);
    auto twin = source->copy();
    EXPECT_EQ(twin->displayString(), std::nullopt);
    EXPECT_EQ(twin->description(), "3");
}

} // namespace
