// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "install_messages.h"

#include "format_unsigned.h"

namespace {

std::wstring PropertyReadMessage(std::wstring_view name, std::uint32_t result)
{
    std::wstring message = L"ERROR: MsiGetProperty() with name: ";
    message += name;
    message += L" returned: ";
    message += FormatUnsigned(result);
    return message;
}

}  // namespace

std::wstring PropertySizeQueryFailedMessage(std::wstring_view name, std::uint32_t result)
{
    return PropertyReadMessage(name, result) + L" while making initial size call";
}

std::wstring PropertyReadFailedMessage(std::wstring_view name, std::uint32_t result)
{
    return PropertyReadMessage(name, result);
}

std::wstring PropertyWriteFailedMessage(std::wstring_view name, std::wstring_view value,
                                        std::uint32_t result)
{
    std::wstring message = L"ERROR: MsiSetProperty() with name: ";
    message += name;
    message += L" and value: ";
    message += value;
    message += L" returned: ";
    message += FormatUnsigned(result);
    return message;
}

std::wstring EscapeFormatTemplate(std::wstring_view text)
{
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text) {
        if (c == L'[' || c == L']' || c == L'{' || c == L'}') {
            escaped += L"[\\";
            escaped += c;
            escaped += L']';
        } else {
            escaped += c;
        }
    }
    return escaped;
}
