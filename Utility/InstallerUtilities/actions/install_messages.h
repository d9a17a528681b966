// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Failure lines of the installation access, as they reach the installation log.
std::wstring PropertySizeQueryFailedMessage(std::wstring_view name, std::uint32_t result);
std::wstring PropertyReadFailedMessage(std::wstring_view name, std::uint32_t result);
std::wstring PropertyWriteFailedMessage(std::wstring_view name, std::wstring_view value,
                                        std::uint32_t result);

// Field 0 of a record is a format template to the installer: "[...]" names a
// property and "{...}" a conditional group. Escaping the four brackets with the
// formatter's own "[\x]" form makes it write the text back verbatim, so a
// logged command line neither loses parts nor reveals a property's value.
std::wstring EscapeFormatTemplate(std::wstring_view text);
