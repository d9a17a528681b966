// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

// Makes the program's own allocations fail on demand: after `allocations`
// more successful ones, every further operator new throws std::bad_alloc
// until disarmed.
void FailAllocationsAfter(int allocations);
void DisarmAllocationFailure();
// Allocations made since the last arming or disarming.
int AllocationsCounted();

// Lets the test's own bookkeeping allocate while failures are armed, so that
// only the code under test sees them.
class AllocationFailurePause {
public:
    AllocationFailurePause();
    ~AllocationFailurePause();
    AllocationFailurePause(const AllocationFailurePause&) = delete;
    AllocationFailurePause& operator=(const AllocationFailurePause&) = delete;
};
