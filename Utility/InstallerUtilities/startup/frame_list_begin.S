// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The start of the x86 images' unwind tables: the first object on the link
// line (lld lays out .eh_frame in link-line order), so that every object's
// tables follow this label. The flags are those of every other object's
// .eh_frame, so that lld keeps them in one run.
        .section .eh_frame,"dr"
        .p2align 2
        .globl _FrameListBegin
_FrameListBegin:
