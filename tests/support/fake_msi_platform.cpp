// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "fake_msi_platform.h"

#include <cwchar>
#include <set>

#include "allocation_failure.h"
#include "msi_platform.h"

namespace fake_msi {
namespace {

Faults armed;
std::set<MSIHANDLE> openRecords;
int processedMessages = 0;

UINT ServeValue(const std::wstring& value, LPWSTR buffer, LPDWORD length)
{
    const DWORD room = *length;
    *length = static_cast<DWORD>(value.size());
    if (room <= value.size()) {
        if (room > 0)
            buffer[0] = L'\0';
        return ERROR_MORE_DATA;
    }
    std::wmemcpy(buffer, value.data(), value.size());
    buffer[value.size()] = L'\0';
    return ERROR_SUCCESS;
}

}  // namespace

void Arm(const Faults& faults)
{
    armed = faults;
}

void Reset()
{
    armed = Faults();
    openRecords.clear();
    processedMessages = 0;
}

int OpenRecords()
{
    return static_cast<int>(openRecords.size());
}

int ProcessedMessages()
{
    return processedMessages;
}

}  // namespace fake_msi

namespace msi_platform {

UINT MsiGetPropertyW(MSIHANDLE install, LPCWSTR name, LPWSTR value, LPDWORD valueLength)
{
    const fake_msi::Faults& armed = fake_msi::armed;
    const bool sizeCall = *valueLength == 0;
    const std::optional<UINT>& forced = sizeCall ? armed.sizeCallResult : armed.readCallResult;
    if (forced)
        return *forced;
    if (armed.value)
        return fake_msi::ServeValue(*armed.value, value, valueLength);
    return ::MsiGetPropertyW(install, name, value, valueLength);
}

UINT MsiSetPropertyW(MSIHANDLE install, LPCWSTR name, LPCWSTR value)
{
    if (fake_msi::armed.setPropertyResult)
        return *fake_msi::armed.setPropertyResult;
    return ::MsiSetPropertyW(install, name, value);
}

MSIHANDLE MsiCreateRecord(UINT fieldCount)
{
    if (fake_msi::armed.failCreateRecord)
        return 0;
    const MSIHANDLE record = ::MsiCreateRecord(fieldCount);
    const AllocationFailurePause pause;
    fake_msi::openRecords.insert(record);
    return record;
}

UINT MsiRecordSetStringW(MSIHANDLE record, UINT field, LPCWSTR value)
{
    if (fake_msi::armed.failRecordSetString)
        return ERROR_INVALID_HANDLE;
    return ::MsiRecordSetStringW(record, field, value);
}

int MsiProcessMessage(MSIHANDLE install, INSTALLMESSAGE messageType, MSIHANDLE record)
{
    ++fake_msi::processedMessages;
    return ::MsiProcessMessage(install, messageType, record);
}

UINT MsiCloseHandle(MSIHANDLE handle)
{
    fake_msi::openRecords.erase(handle);
    return ::MsiCloseHandle(handle);
}

}  // namespace msi_platform
