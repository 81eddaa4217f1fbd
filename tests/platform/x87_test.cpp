#include "platform/x87.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <thread>

namespace {

// 1 + 2^-n in long double arithmetic: 2^-40 needs a significand of 41 bits, 2^-60 of 61.
long double onePlus(long double tiny)
{
    volatile long double one = 1.0L;
    volatile long double add = tiny;
    return one + add;
}

TEST(X87Test, PrecisionFieldIsWrittenOnlyWhenItDiffersAndTakesEffect)
{
    setX87Precision(X87Precision::Extended);
    EXPECT_FALSE(setX87Precision(X87Precision::Extended));
    EXPECT_EQ(x87ControlWord() & 0xF00, 0x300);
    EXPECT_NE(onePlus(0x1p-60L), 1.0L);

    EXPECT_TRUE(setX87Precision(X87Precision::Single));
    EXPECT_FALSE(setX87Precision(X87Precision::Single));
    EXPECT_EQ(x87ControlWord() & 0xF00, 0x000);
    EXPECT_EQ(onePlus(0x1p-40L), 1.0L);

    EXPECT_TRUE(setX87Precision(X87Precision::Double));
    EXPECT_EQ(x87ControlWord() & 0xF00, 0x200);
    EXPECT_NE(onePlus(0x1p-40L), 1.0L);
    EXPECT_EQ(onePlus(0x1p-60L), 1.0L);

    // A changed rounding field alone makes it write, and it comes back to nearest.
    setX87Precision(X87Precision::Extended);
    std::fesetround(FE_UPWARD);
    EXPECT_TRUE(setX87Precision(X87Precision::Extended));
    EXPECT_EQ(x87ControlWord() & 0xF00, 0x300);
    std::fesetround(FE_TONEAREST);
    // The exception masks are left alone.
    EXPECT_EQ(x87ControlWord() & 0x3F, 0x3F);
}

TEST(X87Test, EachThreadHasItsOwnControlWord)
{
    setX87Precision(X87Precision::Extended);
    uint16_t other = 0;
    std::thread([&] {
        setX87Precision(X87Precision::Single);
        other = x87ControlWord();
    }).join();
    EXPECT_EQ(other & 0x300, 0);
    EXPECT_EQ(x87ControlWord() & 0x300, 0x300);
}

} // namespace
