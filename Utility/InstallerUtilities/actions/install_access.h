// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

// How every custom action talks to the running installation. Each failure is
// written to the installation log here, once; callers only learn false.
// Running out of memory throws std::bad_alloc.

// An undefined property reads as an empty value. The value ends at its first NUL.
bool GetInstallProperty(MSIHANDLE install, const std::wstring& name, std::wstring& value);

// Setting an empty value removes the property.
bool SetInstallProperty(MSIHANDLE install, const std::wstring& name, const std::wstring& value);

// One information line in the installation log, shown exactly as given. A line
// that cannot be written is lost without report: there is nowhere else to tell.
void LogToInstaller(MSIHANDLE install, const std::wstring& text);
