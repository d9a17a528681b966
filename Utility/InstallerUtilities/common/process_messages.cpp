// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "process_messages.h"

#include "format_unsigned.h"

std::wstring CreateProcessFailedMessage(std::wstring_view prefix, std::wstring_view commandLine,
                                        std::uint32_t error)
{
    std::wstring message(prefix);
    message += L": CreateProcess() with command line: ";
    message += commandLine;
    message += L" returned: ";
    message += FormatUnsigned(error);
    return message;
}

std::wstring WaitFailedMessage(std::wstring_view prefix)
{
    std::wstring message(prefix);
    message += L": WaitForSingleObject() returned WAIT_FAILED";
    return message;
}

std::wstring ExitCodeUnreadableMessage(std::wstring_view prefix, std::uint32_t error)
{
    std::wstring message(prefix);
    message += L": GetExitCodeProcess() returned: ";
    message += FormatUnsigned(error);
    return message;
}
