// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "install_access.h"

#include <new>

#include "install_messages.h"
#include "msi_platform.h"
#include "unique_handle.h"
#include "wide_buffer.h"

bool GetInstallProperty(MSIHANDLE install, const std::wstring& name, std::wstring& value)
{
    // The first call passes an empty buffer only to learn the value's length.
    wchar_t empty[] = L"";
    DWORD length = 0;
    const UINT sizeResult = msi_platform::MsiGetPropertyW(install, name.c_str(), empty, &length);
    if (sizeResult != ERROR_MORE_DATA) {
        LogToInstaller(install, PropertySizeQueryFailedMessage(name, sizeResult));
        return false;
    }

    // Room for the NUL; a length that leaves none cannot be read. No installer
    // reports a property of 4 Gi characters, so no test reaches the throw.
    // GCOVR_EXCL_START
    if (length == MAXDWORD)
        throw std::bad_alloc();
    // GCOVR_EXCL_STOP
    length += 1;
    const WideBuffer buffer = AllocateWideBuffer(length);
    const UINT readResult =
        msi_platform::MsiGetPropertyW(install, name.c_str(), buffer.get(), &length);
    if (readResult != ERROR_SUCCESS) {
        LogToInstaller(install, PropertyReadFailedMessage(name, readResult));
        return false;
    }
    value.assign(buffer.get());
    return true;
}

bool SetInstallProperty(MSIHANDLE install, const std::wstring& name, const std::wstring& value)
{
    const UINT result = msi_platform::MsiSetPropertyW(install, name.c_str(), value.c_str());
    if (result != ERROR_SUCCESS) {
        LogToInstaller(install, PropertyWriteFailedMessage(name, value, result));
        return false;
    }
    return true;
}

void LogToInstaller(MSIHANDLE install, const std::wstring& text)
{
    const UniqueHandle<MSIHANDLE, msi_platform::MsiCloseHandle> record(
        msi_platform::MsiCreateRecord(1));
    if (!record)
        return;
    if (msi_platform::MsiRecordSetStringW(record.get(), 0, EscapeFormatTemplate(text).c_str()) ==
        ERROR_SUCCESS)
        msi_platform::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}
