// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Test control over the Windows Installer calls of the installation access.
// Unarmed, each call goes to msi.dll; armed, it answers as told, which a real
// installation does not do on demand.
namespace fake_msi {

struct Faults {
    std::optional<UINT> sizeCallResult = std::nullopt;  // the first, size-only MsiGetPropertyW
    std::optional<UINT> readCallResult = std::nullopt;  // the second MsiGetPropertyW
    std::optional<std::wstring> value = std::nullopt;   // served by both calls, NULs and all
    std::optional<UINT> setPropertyResult = std::nullopt;
    bool failCreateRecord = false;
    bool failRecordSetString = false;
};

void Arm(const Faults& faults);
void Reset();

// Records created and not yet closed: a leak check.
int OpenRecords();
// How many messages reached MsiProcessMessage.
int ProcessedMessages();

}  // namespace fake_msi
