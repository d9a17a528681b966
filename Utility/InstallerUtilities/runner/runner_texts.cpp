// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "runner_texts.h"

#include "format_unsigned.h"

std::wstring RedistributableResultLine(std::uint32_t childExitCode)
{
    return L"Exit code for Visual C++ Redistributable for Visual Studio 2013: " +
           FormatUnsigned(childExitCode);
}
