// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Test control over the process calls that RunProcessSync makes. Unarmed, each
// call goes to Windows; armed, the wait or the exit-code read fails with the
// given last-error code, as a real process never does on demand.
namespace fake_process {

struct Faults {
    bool failWait = false;
    DWORD waitError = 0;
    bool failExitCodeRead = false;
    DWORD exitCodeReadError = 0;
};

void Arm(const Faults& faults);
void Reset();

// What happened, in order: "start", "close process", "close thread", and
// whatever the test adds itself (its reports, say).
std::vector<std::wstring>& Events();

}  // namespace fake_process
