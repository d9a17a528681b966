// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The failure lines of a synchronous child run. The prefix is "Error" in the
// runner and "ERROR" in the custom actions; nothing else differs.
std::wstring CreateProcessFailedMessage(std::wstring_view prefix, std::wstring_view commandLine,
                                        std::uint32_t error);
std::wstring WaitFailedMessage(std::wstring_view prefix);
std::wstring ExitCodeUnreadableMessage(std::wstring_view prefix, std::uint32_t error);
