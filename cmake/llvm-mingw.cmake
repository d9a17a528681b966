# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Debian's clang and lld for every language, against mingw-w64's headers and
# import libraries and GCC's runtime libraries. Where Debian has both flavours
# of those, clang takes the win32 thread model's, which keeps winpthread out of
# the binaries. lld, unlike GNU ld, writes the load configuration that declares
# Control Flow Guard, and PDB symbols.
set(CMAKE_SYSTEM_NAME Windows)
set(LLVM_VERSION 19)
foreach(lang C CXX ASM)
  set(CMAKE_${lang}_COMPILER_TARGET ${MINGW_TRIPLE})
endforeach()
set(CMAKE_C_COMPILER clang-${LLVM_VERSION})
set(CMAKE_CXX_COMPILER clang++-${LLVM_VERSION})
set(CMAKE_ASM_COMPILER clang-${LLVM_VERSION})
set(CMAKE_RC_COMPILER llvm-windres-${LLVM_VERSION})
set(CMAKE_RC_FLAGS_INIT "--target=${MINGW_TRIPLE}")
set(CMAKE_AR /usr/bin/llvm-ar-${LLVM_VERSION})
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-${LLVM_VERSION})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
