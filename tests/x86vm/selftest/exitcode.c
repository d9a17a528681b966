// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* exitcode N: exits with N, e.g. 3010, the "reboot required" code an installer returns. */
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv)
{
    ExitProcess(argc > 1 ? (UINT)strtoul(argv[1], NULL, 10) : 0);
}
