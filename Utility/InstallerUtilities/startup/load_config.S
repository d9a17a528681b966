// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The image's load configuration: where Windows finds an image's Control Flow
// Guard pointers and tables, and the folders its imports may come from. The
// platform compiler's C runtime supplies `_load_config_used`; mingw-w64's does
// not, so every image links this one. lld fills in the guard tables
// (__guard_*) from what the compiler recorded as valid call targets.
//
// The guard pointers start at do-nothing routines and live in read-only data:
// the loader of Windows 8.1 and later replaces them with its own checks, and a
// stray write must not be able to switch the checks off again. Earlier systems
// ignore the guard and run the do-nothing routines.

// LOAD_LIBRARY_SEARCH_SYSTEM32: the image's own imports come from System32 only.
#define DEPENDENT_LOAD_FLAGS 0x800

#if defined(__x86_64__)

        .section .00cfg,"dr"
        .p2align 3
        .globl __guard_check_icall_fptr
__guard_check_icall_fptr:
        .quad guard_check_icall_nop
        .globl __guard_dispatch_icall_fptr
__guard_dispatch_icall_fptr:
        .quad guard_dispatch_icall_nop

        .text
        .p2align 4
guard_check_icall_nop:
        ret
        .p2align 4
// The instrumented call hands over the target in %rax and expects to reach it.
guard_dispatch_icall_nop:
        jmp *%rax

        .section .rdata,"dr"
        .p2align 3
        .globl _load_config_used
_load_config_used:
        .long 192                       // Size: the layout up to the long-jump table
        .long 0                         // TimeDateStamp
        .short 0, 0                     // MajorVersion, MinorVersion
        .long 0, 0                      // GlobalFlagsClear, GlobalFlagsSet
        .long 0                         // CriticalSectionDefaultTimeout
        .quad 0, 0                      // DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold
        .quad 0                         // LockPrefixTable
        .quad 0, 0                      // MaximumAllocationSize, VirtualMemoryThreshold
        .quad 0                         // ProcessAffinityMask
        .long 0                         // ProcessHeapFlags
        .short 0                        // CSDVersion
        .short DEPENDENT_LOAD_FLAGS
        .quad 0                         // EditList
        .quad 0                         // SecurityCookie: the stack guard is the project's own
        .quad 0, 0                      // SEHandlerTable, SEHandlerCount
        .quad __guard_check_icall_fptr
        .quad __guard_dispatch_icall_fptr
        .quad __guard_fids_table
        .quad __guard_fids_count
        .long __guard_flags
        .short 0, 0                     // CodeIntegrity: Flags, Catalog
        .long 0, 0                      // CodeIntegrity: CatalogOffset, Reserved
        .quad __guard_iat_table
        .quad __guard_iat_count
        .quad __guard_longjmp_table
        .quad __guard_longjmp_count

#else

        .section .00cfg,"dr"
        .p2align 2
        .globl ___guard_check_icall_fptr
___guard_check_icall_fptr:
        .long guard_check_icall_nop

        .text
        .p2align 4
// The instrumented call hands over the target in %ecx and then calls it itself.
guard_check_icall_nop:
        ret

        .section .rdata,"dr"
        .p2align 2
        .globl __load_config_used
__load_config_used:
        .long 120                       // Size: the layout up to the long-jump table
        .long 0                         // TimeDateStamp
        .short 0, 0                     // MajorVersion, MinorVersion
        .long 0, 0                      // GlobalFlagsClear, GlobalFlagsSet
        .long 0                         // CriticalSectionDefaultTimeout
        .long 0, 0                      // DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold
        .long 0                         // LockPrefixTable
        .long 0, 0                      // MaximumAllocationSize, VirtualMemoryThreshold
        .long 0                         // ProcessHeapFlags
        .long 0                         // ProcessAffinityMask
        .short 0                        // CSDVersion
        .short DEPENDENT_LOAD_FLAGS
        .long 0                         // EditList
        .long 0                         // SecurityCookie: the stack guard is the project's own
        .long 0, 0                      // SEHandlerTable, SEHandlerCount: none (NO_SEH)
        .long ___guard_check_icall_fptr
        .long 0                         // GuardCFDispatchFunctionPointer: x86 checks, never dispatches
        .long ___guard_fids_table
        .long ___guard_fids_count
        .long ___guard_flags
        .short 0, 0                     // CodeIntegrity: Flags, Catalog
        .long 0, 0                      // CodeIntegrity: CatalogOffset, Reserved
        .long ___guard_iat_table
        .long ___guard_iat_count
        .long ___guard_longjmp_table
        .long ___guard_longjmp_count

#endif
