// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The zero word that ends the x86 images' unwind tables. The build links this
// object as frame_list_crtend.o: lld moves an object of that name after every
// other, as it does GCC's own crtend.o.
        .section .eh_frame,"dr"
        .p2align 2
        .globl _FrameListEnd
_FrameListEnd:
        .long 0
