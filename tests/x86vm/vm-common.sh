# shellcheck shell=bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Shared by guest-image.sh, run-in-guest.sh and selftest.sh; sourced, not run. Host side only:
# nothing here ends up in the image, so it is not part of the image key.

X86VM_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
X86VM_CACHE=${X86VM_CACHE:-/var/cache/installer-utilities/x86vm}
# qemu64: Wine's 32-bit processes die when the guest sees SMAP (as with -cpu max).
X86VM_CPU=${X86VM_CPU:-qemu64}
X86VM_MEM=${X86VM_MEM:-4096}
X86VM_SMP=${X86VM_SMP:-2}
# The guest's clock at power-on (QEMU's -rtc base, e.g. 2039-06-15T09:00:00, UTC); empty: now.
X86VM_CLOCK=${X86VM_CLOCK:-}

x86vm_log() { printf 'x86vm: %s\n' "$*" >&2; }
x86vm_die() { x86vm_log "error: $*"; exit 1; }

# Installs missing host packages (CI machines may be fresh), the project's one way.
x86vm_need_packages() {
  "$X86VM_DIR/../../scripts/setup.sh" "$@" >&2 || x86vm_die "could not install $*"
}

# Serial output is full of Wine's and the kernel's terminal control sequences.
x86vm_strip_escapes() {
  LC_ALL=C sed -E $'s#\x1b\\[[0-?]*[ -/]*[@-~]##g; s#\x1b\\][^\x07\x1b]*(\x07|\x1b\\\\)?##g; s#\x1b[()*+].##g; s#\x1b[=>78cDEHM]##g; s#\r##g' \
    | LC_ALL=C tr -d '\000-\010\013-\037\177'
}

# QEMU option values end at a comma unless it is doubled.
x86vm_qemu_path() { printf '%s' "${1//,/,,}"; }

# x86vm_run IMAGE_DIR JOB_DIR TIMEOUT [extra qemu args...]
# Boots the image in IMAGE_DIR with our init as PID 1, which runs JOB_DIR/job.sh and powers off.
# Returns the job's status; 124 when the guest did not finish in time, 125 when the job left no
# status, both, like a failed job, after the tail of JOB_DIR/serial.log on stderr.
x86vm_run() {
  local img=$1 job=$2 limit=$3 serial=$2/serial.log started=$SECONDS rc=0 status
  shift 3
  local append="console=ttyS0,115200 root=/dev/vda rootfstype=ext4 rw init=/sbin/x86vm-init"
  append+=" panic=-1 mitigations=off fsck.mode=skip quiet loglevel=4"
  # A status left from an earlier run must not pass for this one.
  rm -f "$job/job.status" "$job/job.status.tmp" "$job/job.log"
  : >"$serial"
  # Started in the background so that an interrupted caller can stop it at once: bash would
  # otherwise wait for the foreground child before acting on the signal.
  timeout --kill-after=15 "$limit" qemu-system-x86_64 \
    -nodefaults -no-user-config -machine pc -accel tcg,thread=multi \
    -cpu "$X86VM_CPU" -m "$X86VM_MEM" -smp "$X86VM_SMP" \
    -display none -vga none -monitor none -nic none -no-reboot \
    -serial "file:$(x86vm_qemu_path "$serial")" \
    -kernel "$img/vmlinuz" -initrd "$img/initrd.img" -append "$append" \
    -rtc "base=${X86VM_CLOCK:-utc}" \
    -drive "file=$(x86vm_qemu_path "$img/rootfs.img"),format=raw,if=virtio,cache=unsafe" \
    -virtfs "local,path=$(x86vm_qemu_path "$job"),mount_tag=job,security_model=none,id=job" \
    "$@" </dev/null &
  x86vm_qemu=$!
  trap 'kill -TERM "$x86vm_qemu" 2>/dev/null; wait "$x86vm_qemu"; exit 130' INT
  trap 'kill -TERM "$x86vm_qemu" 2>/dev/null; wait "$x86vm_qemu"; exit 143' TERM HUP
  wait "$x86vm_qemu" || rc=$?
  trap - INT TERM HUP
  local elapsed=$((SECONDS - started))
  status=$(cat "$job/job.status" 2>/dev/null || true)
  if [[ $status =~ ^[0-9]+$ ]]; then
    ((status != 0)) || { x86vm_log "job passed (${elapsed} s)"; return 0; }
    x86vm_log "job failed with status $status (${elapsed} s); last lines of $serial:"
  elif ((rc == 124 || rc == 137)); then
    x86vm_log "the guest did not finish within $limit s; last lines of $serial:"
    status=124
  else
    x86vm_log "the job left no status (qemu exit $rc, ${elapsed} s); last lines of $serial:"
    status=125
  fi
  x86vm_strip_escapes <"$serial" | tail -n 40 >&2
  return "$status"
}
