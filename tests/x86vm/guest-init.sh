#!/bin/bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# PID 1 of the test guest (installed as /sbin/x86vm-init): mounts the job folder shared by the
# host, runs its job.sh, leaves the exit status in job.status there, and powers off.
# No systemd: a boot that only runs one job is much faster without it.

export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb
export WINEPREFIX=/opt/x86vm/wineprefix WINEDEBUG=-all

job=/mnt/job
say() { echo "x86vm-init: $*"; }

power_off() {
  sync
  mount -o remount,ro / 2>/dev/null
  echo o >/proc/sysrq-trigger
  # PID 1 must never exit: that would panic instead of powering off.
  while :; do sleep 60; done
}

mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mountpoint -q /dev/pts || mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=1777 tmpfs /tmp
mountpoint -q /run || mount -t tmpfs -o mode=755 tmpfs /run
echo 1 >/proc/sys/kernel/sysrq
hostname x86vm

modprobe 9pnet_virtio && modprobe 9p
mkdir -p "$job"
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 job "$job"; then
  say "cannot mount the job folder"
  power_off
fi
cd "$job" || power_off

# A persistent wineserver keeps Wine's own services running between the job's wine commands,
# so under emulation a later start takes a few seconds instead of half a minute. Not while the
# image is being built: that job creates the prefix and waits for its server to end.
if [ -f "$WINEPREFIX/system.reg" ]; then
  wineserver -p || say "could not start a persistent wineserver"
fi

say "job start, uptime $(cut -d' ' -f1 /proc/uptime) s"
# Output goes to job.log and, for the serial log, to the console. The tee runs beside the job
# rather than after a pipe, so a Wine process left running cannot hold the job open.
bash ./job.sh </dev/null > >(tee job.log >/dev/console) 2>&1
status=$?
teepid=$!
say "job exit status $status, uptime $(cut -d' ' -f1 /proc/uptime) s"

# Stragglers such as wineserver keep the log pipe open; the job is over, so end them.
command -v wineserver >/dev/null && timeout 20 wineserver -k 2>/dev/null
for _ in $(seq 50); do kill -0 "$teepid" 2>/dev/null || break; sleep 0.1; done

echo "$status" >job.status.tmp && mv -f job.status.tmp job.status
cd /
sync
umount "$job" 2>/dev/null
power_off
