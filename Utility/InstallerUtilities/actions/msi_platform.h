// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

// The Windows Installer calls behind the installation access. The shipped
// library links msi_platform_win32.cpp, which forwards each to msi.dll; tests
// link a stand-in that can make a call fail the way a real installation
// never does on demand.
namespace msi_platform {

UINT MsiGetPropertyW(MSIHANDLE install, LPCWSTR name, LPWSTR value, LPDWORD valueLength);
UINT MsiSetPropertyW(MSIHANDLE install, LPCWSTR name, LPCWSTR value);
MSIHANDLE MsiCreateRecord(UINT fieldCount);
UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value);
int MsiProcessMessage(MSIHANDLE install, INSTALLMESSAGE messageType, MSIHANDLE record);
UINT MsiCloseHandle(MSIHANDLE handle);

}  // namespace msi_platform
