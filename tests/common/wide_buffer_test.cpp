// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>

#include "wide_buffer.h"

TEST(WideBuffer, SizeIsTwoBytesPerCharacterOrTheLargestOnOverflow)
{
    constexpr std::size_t largest = std::numeric_limits<std::size_t>::max();
    const struct {
        std::uint64_t characters;
        std::size_t bytes;
    } cases[] = {
        {1, 2},
        {35, 70},
        {largest / 2, largest - 1},
        {(largest / 2) + 1, largest},               // doubling would wrap around
        {std::uint64_t{0xFFFFFFFFu} + 1,
         sizeof(std::size_t) == 4 ? largest : std::size_t(0x200000000ull)},
        {std::numeric_limits<std::uint64_t>::max(), largest},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bytes, WideBufferBytes(c.characters)) << c.characters;
}

TEST(WideBuffer, AnOverflowingRequestFailsAsAnAllocationFailure)
{
    EXPECT_THROW(AllocateWideBuffer(std::numeric_limits<std::uint64_t>::max()), std::bad_alloc);
}
