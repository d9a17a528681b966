// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

// The project's images link none of the C runtime's start-up objects: the
// loader would call their TLS callbacks, and msvcrt.dll their initializers
// and exit functions, and none of these are valid call targets under Control
// Flow Guard (their objects name them by section, so the linker cannot list
// them). Instead the image's entry point calls these two, and every call they
// make stays inside the image.

// Registers the image's unwind tables with the unwinder linked into it (x86),
// then runs the image's constructors.
void StartImage() noexcept;

// Runs the functions handed to atexit, last first, the destructors among
// them, then deregisters the unwind tables.
void EndImage() noexcept;
