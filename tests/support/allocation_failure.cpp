// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "allocation_failure.h"

#include <cstdlib>
#include <new>

namespace {

bool armed = false;
int remaining = 0;
int counted = 0;
int pauses = 0;

}  // namespace

void FailAllocationsAfter(int allocations)
{
    armed = true;
    remaining = allocations;
    counted = 0;
}

void DisarmAllocationFailure()
{
    armed = false;
    counted = 0;
}

int AllocationsCounted()
{
    return counted;
}

AllocationFailurePause::AllocationFailurePause()
{
    ++pauses;
}

AllocationFailurePause::~AllocationFailurePause()
{
    --pauses;
}

void* operator new(std::size_t size)
{
    if (pauses == 0 && armed && counted++ >= remaining)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

// <new> declares the sized form only where sized deallocation is on; the
// prebuilt runtime calls it either way.
// NOLINTNEXTLINE(misc-use-internal-linkage): a replacement must be global.
void operator delete(void* memory, std::size_t /*size*/) noexcept;
void operator delete(void* memory, std::size_t /*size*/) noexcept
{
    std::free(memory);
}
