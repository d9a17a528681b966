// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct OperatorDelete {
    void operator()(wchar_t* p) const noexcept { ::operator delete(p); }
};

// A heap buffer of wide characters that is freed on every path out of its owner.
// Not a std::vector or std::wstring: its size comes from a 64-bit count that
// must fail, not wrap, in a 32-bit size_t, and Windows fills it, so nothing
// needs setting first.
using WideBuffer = std::unique_ptr<wchar_t[], OperatorDelete>;

// Byte size for the given number of wide characters; when that does not fit in
// size_t the largest size is requested instead, so the allocation fails rather
// than handing back a buffer that is too short.
std::size_t WideBufferBytes(std::uint64_t characters);

// Throws std::bad_alloc when the memory cannot be had.
WideBuffer AllocateWideBuffer(std::uint64_t characters);
