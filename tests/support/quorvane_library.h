// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <msi.h>

// Calls an entry point of the shipped library the way the installer does:
// loaded from the deliverables' folder, found by its decorated export name.
// An entry point that is missing fails the test and answers 0xDEADBEEF.
UINT CallEntryPoint(const char* exportName, MSIHANDLE install);
