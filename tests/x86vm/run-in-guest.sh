#!/bin/bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# run-in-guest.sh JOB_DIR [TIMEOUT_SECONDS]
#
# Boots a throwaway copy (-snapshot) of the guest image, shares JOB_DIR with it read-write and
# runs JOB_DIR/job.sh there as root, in JOB_DIR, with WINEPREFIX and WINEDEBUG=-all set.
# A wineserver is already running, persistent, so a job must not wait on `wineserver -w`.
# Exits with the job's status; when the guest does not come back in time (default 900 s, an
# image build not included) with 124, when the job left no status with 125, both after the
# tail of the serial log. Leaves job.log (the job's output), job.status and serial.log in JOB_DIR.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/vm-common.sh"

(($# == 1 || $# == 2)) || { echo "usage: $0 JOB_DIR [TIMEOUT_SECONDS]" >&2; exit 2; }
[ -d "$1" ] || x86vm_die "no such folder: $1"
job_dir=$(cd "$1" && pwd)
limit=${2:-900}
[[ $limit =~ ^[1-9][0-9]*$ ]] || x86vm_die "timeout must be a positive number of seconds: $limit"
[ -f "$job_dir/job.sh" ] || x86vm_die "$job_dir has no job.sh"

x86vm_need_packages qemu-system-x86
image=${X86VM_IMAGE:-$(bash "$X86VM_DIR/guest-image.sh" | tail -n 1)}
image_dir=$(dirname "$image")
[ -f "$image_dir/rootfs.img" ] && [ -f "$image_dir/vmlinuz" ] || x86vm_die "no guest image at $image_dir"
touch "$image_dir/last-used" 2>/dev/null || true
x86vm_run "$image_dir" "$job_dir" "$limit" -snapshot
