// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report_sink.h"

// Starts the command line (program and arguments together, located by the
// platform's search rules), waits for it without a time limit and hands back
// its exit code. A failure is reported once, through `report`, and answered
// with false. Running out of memory throws std::bad_alloc.
bool RunProcessSync(const std::wstring& commandLine, std::wstring_view errorPrefix,
                    const ReportSink& report, std::uint32_t& exitCode);
