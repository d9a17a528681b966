// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

// Tarbel's whole flow: installs the redistributable silently, logs its exit
// code and answers with one of the RunnerExitCode values.
int RunnerMain(int argc, wchar_t* argv[]);
