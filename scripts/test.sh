#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Runs every test tier (docs/testing.md): installs what they need, then the workflow preset
# `test`: configures and builds the x64 twin and runs `ctest --preset all`, whose fixture `kits`
# builds the x86 images and both kits first. Ends with ctest's own count of the tiers.
# SKIP_X86_GUEST=1 leaves the emulated x86 machine out, and ctest says so.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec cmake --workflow --preset test
