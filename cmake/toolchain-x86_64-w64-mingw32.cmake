# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/llvm-mingw.cmake)
# 64-bit Windows programs run here under Wine's 64-bit loader.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
