#!/bin/bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Builds, or reuses from the cache, the x86-64 guest image in which 32-bit Wine runs our
# Windows binaries. Progress goes to stderr; the last line of stdout is the image path.
#
# The cache key is a hash of the recipe (this script, the guest init and the Wine prefix
# helper), so a changed recipe builds a new image. A build happens in a temporary folder that is
# renamed into place only when complete, so an interrupted build is never taken for a cached image.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/vm-common.sh"

suite=bookworm
recipe=(guest-image.sh guest-init.sh ../../scripts/wine-prefix.sh)
key=$(cd "$X86VM_DIR" && sha256sum "${recipe[@]}" | sha256sum | cut -c1-16)
image_dir=$X86VM_CACHE/guest-$key
use_cached() { [ ! -f "$image_dir/ready" ] || { echo "$image_dir/rootfs.img"; exit 0; }; }
use_cached

[ "$(id -u)" -eq 0 ] || x86vm_die "building the guest image needs root (debootstrap, chroot)"
mkdir -p "$X86VM_CACHE"

# Two test runs that start together must not both build.
exec 9>"$X86VM_CACHE/.lock-$key"
flock -n 9 || { x86vm_log "another process is building guest-$key; waiting"; flock -w 5400 9; } ||
  x86vm_die "gave up waiting for the other build"
use_cached

x86vm_need_packages qemu-system-x86 debootstrap e2fsprogs

# Mount points below $1, deepest first.
mounts_below() { awk -v p="$1/" 'index($5, p) == 1 { print $5 }' /proc/self/mountinfo | sort -r; }
unmount_below() {
  local m
  for m in $(mounts_below "$1"); do umount "$m" 2>/dev/null || umount -l "$m"; done
}
# Never delete a tree that still has the host's /dev or /proc mounted inside it.
remove_tree() {
  [ -e "$1" ] || return 0
  unmount_below "$1"
  [ -z "$(mounts_below "$1")" ] || { x86vm_log "not removing $1: something is still mounted below it"; return 1; }
  rm -rf --one-file-system "$1"
}

# Leftovers of interrupted builds: ours is locked, others only if their builder is gone.
for old in "$X86VM_CACHE"/.build-*; do
  [ -d "$old" ] || continue
  if [[ $old == "$X86VM_CACHE/.build-$key."* ]] || ! kill -0 "${old##*.}" 2>/dev/null; then
    x86vm_log "removing the leftover of an interrupted build: $old"
    remove_tree "$old" || true
  fi
done

avail_kb=$(df -Pk "$X86VM_CACHE" | awk 'NR == 2 { print $4 }')
((avail_kb > 6 * 1024 * 1024)) || x86vm_die "need about 6 GiB free in $X86VM_CACHE, have $((avail_kb / 1024)) MiB"

work=$X86VM_CACHE/.build-$key.$$
root=$work/rootfs
log=$work/logs/build.log
mkdir -p "$work/logs"
: >"$log"
# Runs on any exit before the image is in place, signals included (bash then reports status 0,
# so the status cannot tell). A step still running is stopped before its tree is removed.
descendants() {
  local c
  for c in $(pgrep -P "$1"); do echo "$c" && descendants "$c"; done
}
abandon_build() {
  set +e
  local pids _
  pids=$(descendants $$)
  if [ -n "$pids" ]; then
    # shellcheck disable=SC2086 # the list of process ids is meant to split
    kill -TERM $pids 2>/dev/null
    # shellcheck disable=SC2086
    for _ in $(seq 50); do kill -0 $pids 2>/dev/null || break; sleep 0.1; done
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null
  fi
  unmount_below "$work"
  x86vm_log "build failed; last lines of $log:"
  tail -n 40 "$log" >&2
  remove_tree "$work" || true
}
trap abandon_build EXIT

step() { x86vm_log "[$(date +%T)] $*"; echo "=== $* ($(date +%T))" >>"$log"; }
started=$SECONDS

# The guest uses the same Debian archive as the host: the one this machine is
# configured to reach, never an address of our own choosing.
repo_for() {
  # shellcheck disable=SC2016 # apt-get's own format, not the shell's
  apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 2>/dev/null \
    | awk -v r="$1" '$1 == r { print $2; exit }'
}
mirror=${X86VM_MIRROR:-$(repo_for "$suite")}
[ -n "$mirror" ] || x86vm_die "no Debian $suite archive in this machine's apt configuration (run apt-get update, or set X86VM_MIRROR)"
updates=$(repo_for "$suite-updates")
security=$(repo_for "$suite-security")

step "debootstrap $suite from $mirror"
tries=0
until debootstrap --arch=amd64 --variant=minbase --include=kmod,udev,initramfs-tools,procps \
  "$suite" "$root" "$mirror" >>"$log" 2>&1; do
  [ -f "$root/debootstrap/debootstrap.log" ] && tail -n 20 "$root/debootstrap/debootstrap.log" >>"$log"
  ((++tries < 2)) || x86vm_die "debootstrap failed"
  x86vm_log "debootstrap failed; retrying once"
  remove_tree "$root"
  sleep 10
done

{
  echo "deb $mirror $suite main"
  [ -z "$updates" ] || echo "deb $updates $suite-updates main"
  [ -z "$security" ] || echo "deb $security $suite-security main"
} >"$root/etc/apt/sources.list"
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --rbind --make-rslave /dev "$root/dev"

step "installing the kernel and Wine in the chroot"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive /bin/bash -s >>"$log" 2>&1 <<'CHROOT'
set -euxo pipefail
printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
chmod +x /usr/sbin/policy-rc.d
printf 'path-exclude=/usr/share/%s/*\n' doc man info locale >/etc/dpkg/dpkg.cfg.d/01-x86vm-nodoc
echo 'Acquire::Retries "5";' >/etc/apt/apt.conf.d/80x86vm-retries
# The initramfs must find the root disk without udev having run in this chroot.
printf '%s\n' virtio_pci virtio_blk ext4 >>/etc/initramfs-tools/modules
dpkg --add-architecture i386
tries=0
until apt-get update -q && apt-get install -y -q --no-install-recommends \
  linux-image-amd64 wine wine64 wine32:i386; do
  ((++tries < 3)) || exit 1
  # An archive can serve a security index that disagrees with its Release file (an i386
  # Packages.xz of another size, every time): then the guest goes without security updates.
  ((tries < 2)) || sed -i '/-security /d' /etc/apt/sources.list
  sleep 20
done
apt-get clean
rm -rf /var/lib/apt/lists/* /var/cache/apt/*.bin /usr/share/doc/* /usr/share/man/* /usr/share/info/* \
  /usr/share/locale/* /var/log/apt/* /var/log/dpkg.log /usr/sbin/policy-rc.d /etc/resolv.conf
mkdir -p /opt/x86vm /mnt/job
CHROOT
unmount_below "$root"

step "copying the kernel and writing the disk image"
kernels=("$root"/boot/vmlinuz-*)
initrds=("$root"/boot/initrd.img-*)
((${#kernels[@]} == 1)) && [ -f "${kernels[0]}" ] || x86vm_die "expected one kernel in the guest, found: ${kernels[*]}"
[ -f "${initrds[0]}" ] || x86vm_die "the guest has no initramfs"
cp "${kernels[0]}" "$work/vmlinuz"
cp "${initrds[0]}" "$work/initrd.img"
install -m 0755 "$X86VM_DIR/guest-init.sh" "$root/usr/sbin/x86vm-init"
install -m 0755 "$X86VM_DIR/../../scripts/wine-prefix.sh" "$root/usr/local/bin/wine-prefix.sh"
rootfs_mib=$(du -sm "$root" | cut -f1)
# Sparse: the spare room costs nothing on the host but leaves space for what tests install.
mke2fs -q -F -t ext4 -L x86vm -d "$root" "$work/rootfs.img" 6G >>"$log" 2>&1
remove_tree "$root"

step "first boot: creating the Wine prefix"
# The prefix is made here, since its first start takes minutes under emulation, and before any
# test boot: the display-less driver must be in it before any Wine desktop of the guest starts.
# The job runs in logs/, which keeps its job.log and serial.log.
prep=$work/logs
cat >"$prep/job.sh" <<'EOF'
set -ex
wine --version
WINE=wine wine-prefix.sh "$WINEPREFIX"
# A prefix older than wine.inf would be updated again at every test boot.
[ "$(tr -dc 0-9 <"$WINEPREFIX/.update-timestamp")" = "$(stat -c %Y /usr/share/wine/wine.inf)" ]
test -f "$WINEPREFIX/system.reg"
test -f "$WINEPREFIX/drive_c/windows/syswow64/msiexec.exe"
du -sh "$WINEPREFIX"
EOF
boot_started=$SECONDS
rc=0
# With the real clock, whatever the caller's runs use.
X86VM_CLOCK='' x86vm_run "$work" "$prep" 2700 || rc=$?
cat "$prep/job.log" >>"$log" 2>/dev/null || true
((rc == 0)) || x86vm_die "creating the Wine prefix failed (status $rc)"
prefix_seconds=$((SECONDS - boot_started))

# The guest was powered off abruptly; leave the cached file system clean.
e2fsck -fy "$work/rootfs.img" >>"$log" 2>&1 || (($? <= 1)) || x86vm_die "e2fsck found damage"

cat >"$work/info" <<EOF
key=$key
built=$(date -u +%FT%TZ)
mirror=$mirror
kernel=$(basename "${kernels[0]}")
rootfs_mib=$rootfs_mib
image_used_mib=$(du -m "$work/rootfs.img" | cut -f1)
build_seconds=$((SECONDS - started))
prefix_boot_seconds=$prefix_seconds
EOF
touch "$work/ready" "$work/last-used"
mv -T "$work" "$image_dir"
trap - EXIT
x86vm_log "built $image_dir in $((SECONDS - started)) s"

# Images of older recipes that no run has used for a few days only take space.
for old in "$X86VM_CACHE"/guest-*; do
  [ "$old" != "$image_dir" ] && [ -d "$old" ] || continue
  [ -z "$(find "$old/last-used" -mtime -"${X86VM_KEEP_DAYS:-3}" 2>/dev/null)" ] || continue
  x86vm_log "removing unused old image $old"
  rm -rf --one-file-system "$old"
  rm -f "$X86VM_CACHE/.lock-${old##*/guest-}"
done

echo "$image_dir/rootfs.img"
