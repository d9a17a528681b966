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
        {.characters = 1, .bytes = 2},
        {.characters = 35, .bytes = 70},
        {.characters = largest / 2, .bytes = largest - 1},
        {.characters = (largest / 2) + 1, .bytes = largest},  // doubling would wrap around
        {.characters = std::uint64_t{0xFFFFFFFFu} + 1,
         .bytes = sizeof(std::size_t) == 4 ? largest : std::size_t(0x200000000ull)},
        {.characters = std::numeric_limits<std::uint64_t>::max(), .bytes = largest},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bytes, WideBufferBytes(c.characters)) << c.characters;
}

TEST(WideBuffer, AnOverflowingRequestFailsAsAnAllocationFailure)
{
    EXPECT_THROW(AllocateWideBuffer(std::numeric_limits<std::uint64_t>::max()), std::bad_alloc);
}
