// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

// Where one finished failure message goes: the runner's log file or the installation log.
using ReportSink = std::function<void(const std::wstring& message)>;
