// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "msi_platform.h"

namespace msi_platform {

UINT MsiGetPropertyW(MSIHANDLE install, LPCWSTR name, LPWSTR value, LPDWORD valueLength)
{
    return ::MsiGetPropertyW(install, name, value, valueLength);
}

UINT MsiSetPropertyW(MSIHANDLE install, LPCWSTR name, LPCWSTR value)
{
    return ::MsiSetPropertyW(install, name, value);
}

MSIHANDLE MsiCreateRecord(UINT fieldCount)
{
    return ::MsiCreateRecord(fieldCount);
}

UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value)
{
    return ::MsiRecordSetStringW(record, field, value);
}

int MsiProcessMessage(MSIHANDLE install, INSTALLMESSAGE messageType, MSIHANDLE record)
{
    return ::MsiProcessMessage(install, messageType, record);
}

UINT MsiCloseHandle(MSIHANDLE handle)
{
    return ::MsiCloseHandle(handle);
}

}  // namespace msi_platform
