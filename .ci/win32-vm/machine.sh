# The emulated 32-bit Windows test machine, for hosts that cannot execute 32-bit code: a Debian
# guest with Wine and its 32-bit loader, run by qemu in software. Sourced by bash scripts; the
# caller must be root and must call vm_stop when done (a trap on EXIT).
#
#   vm_host_runs_32_bit  true when this machine executes 32-bit x86 programs itself
#   vm_ensure_image    makes the image once per machine and sets vm_dir to it
#   vm_make_image_in_background, vm_stop_making_image   the same beside other work
#   vm_start SHARE     boots it (a boot that fails is tried once more); SHARE is seen in the guest
#                      at the same path, over 9p; the guest's changes to its disk are thrown away
#   vm_run SECONDS CMDS  runs shell commands in the guest, prints their output as it comes and
#                      returns their status (124 when they outlive SECONDS, 125 when the guest dies)
#   vm_stop            powers the guest off, kills it if it does not go, removes its work files

vm_files=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vm_cache=${ZRVBUILD_VM_CACHE:-/var/cache/zrvbuild/win32-vm}
vm_pid=
vm_work=
# Inside the guest: the Wine prefix made with the image, and the options every job wants.
vm_wine_env='export WINEPREFIX=/var/lib/zrvbuild/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="'

vm_log() {
  echo "win32 machine: $*"
}

# A 93-byte 32-bit x86 Linux program that exits with status 0 (xor ebx,ebx; mov eax,1;
# int 0x80): where the machine cannot execute 32-bit code, the kernel refuses it or it faults.
vm_host_runs_32_bit() {
  local probe status=0
  probe=$(mktemp /tmp/zrvbuild-probe32.XXXXXX)
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000'\
'\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000'\
'\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000'\
'\135\000\000\000\005\000\000\000\000\020\000\000\061\333\270\001\000\000\000\315\200' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

# The image depends on the files that make it and nothing else: a change to one makes a new one.
vm_key() {
  cat "$vm_files/make-image.sh" "$vm_files/vminit" | sha256sum | cut -c1-16
}

vm_ensure_image() {
  vm_dir=$vm_cache/$(vm_key)
  [ -e "$vm_dir/complete" ] && return 0
  mkdir -p "$vm_cache"
  local lock status=0 other
  exec {lock}>"$vm_cache/lock"
  flock "$lock"
  if [ ! -e "$vm_dir/complete" ]; then
    local started=$SECONDS
    vm_log "making the image in $vm_dir (its log: $vm_dir.log)"
    bash "$vm_files/make-image.sh" "$vm_dir" >"$vm_dir.log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      vm_log "image made in $((SECONDS - started)) s"
      # Images of earlier versions of these files are not used again.
      for other in "$vm_cache"/*/complete; do
        other=${other%/complete}
        [ "$other" = "$vm_dir" ] || rm -rf "$other" "$other.log"
      done
    else
      tail -n 40 "$vm_dir.log"
      vm_log "making the image failed after $((SECONDS - started)) s"
    fi
  fi
  exec {lock}>&-
  return "$status"
}

# Where the machine cannot run 32-bit programs and the image is not made yet, starts making it
# in a process group of its own, so that other work can run meanwhile; vm_ensure_image waits for
# it. Needs need_packages (from .ci/run).
vm_maker_pid=
vm_make_image_in_background() {
  vm_host_runs_32_bit && return 0
  [ -e "$vm_cache/$(vm_key)/complete" ] && return 0
  need_packages qemu-system-x86 debootstrap e2fsprogs
  mkdir -p "$vm_cache"
  setsid bash -c '. "$1" && vm_ensure_image' make "$vm_files/machine.sh" \
    >>"$vm_cache/background.log" 2>&1 </dev/null &
  vm_maker_pid=$!
}

# Ends a maker still running (a run cut short); the next run makes the image anew.
vm_stop_making_image() {
  [ -n "$vm_maker_pid" ] || return 0
  if kill -0 "$vm_maker_pid" 2>/dev/null; then
    kill -- -"$vm_maker_pid" 2>/dev/null || true
  fi
  wait "$vm_maker_pid" 2>/dev/null || true
  vm_maker_pid=
}

# One boot, waiting at most 600 s for the guest to take jobs. Extra arguments go to qemu.
vm_boot() {
  local dir=$1 share=$2
  shift 2
  local append="root=/dev/vda rw console=ttyS0 init=/sbin/vminit quiet"
  local shares=()
  if [ -n "$share" ]; then
    append="$append zrvshare=$share"
    shares=(-virtfs "local,path=$share,mount_tag=share,security_model=passthrough,id=share")
  fi
  vm_work=$(mktemp -d /tmp/zrvbuild-vm.XXXXXX)
  mkdir "$vm_work/jobs"
  qemu-system-x86_64 -accel tcg,thread=multi -cpu max,smap=off -smp 2 -m 4096 \
    -nographic -no-reboot -nic none \
    -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" -append "$append" \
    -drive "file=$dir/root.img,if=virtio,format=raw,cache=unsafe" \
    "${shares[@]}" \
    -virtfs "local,path=$vm_work/jobs,mount_tag=jobs,security_model=passthrough,id=jobs" \
    "$@" >"$vm_work/console.log" 2>&1 </dev/null &
  vm_pid=$!
  local started=$SECONDS
  while [ ! -e "$vm_work/jobs/ready" ]; do
    if ! kill -0 "$vm_pid" 2>/dev/null || [ $((SECONDS - started)) -ge 600 ]; then
      vm_log "the guest did not come up in $((SECONDS - started)) s; its console:"
      tail -n 40 "$vm_work/console.log"
      return 1
    fi
    sleep 1
  done
  vm_log "up in $((SECONDS - started)) s ($(cat "$vm_work/jobs/ready"))"
}

vm_start() {
  vm_ensure_image || return 1
  vm_boot "$vm_dir" "$1" -snapshot && return 0
  vm_stop
  vm_log "booting once more"
  vm_boot "$vm_dir" "$1" -snapshot
}

vm_run() {
  local limit=$1 commands=$2
  local name
  name=job$$.$RANDOM
  local jobs=$vm_work/jobs
  local out=$jobs/$name.out shown=0 size started=$SECONDS
  if [ -z "$vm_pid" ] || ! printf '%s\n' "$commands" >"$jobs/$name.new" ||
    ! mv "$jobs/$name.new" "$jobs/$name.sh"; then
    vm_log "no guest to run the job"
    return 125
  fi
  while [ ! -e "$jobs/$name.rc" ]; do
    if ! kill -0 "$vm_pid" 2>/dev/null; then
      vm_log "the guest died; its console:"
      tail -n 40 "$vm_work/console.log"
      return 125
    fi
    if [ $((SECONDS - started)) -ge "$limit" ]; then
      vm_log "job still running after $limit s: given up"
      return 124
    fi
    sleep 2
    size=$(stat -c %s "$out" 2>/dev/null || echo 0)
    if [ "$size" -gt "$shown" ]; then
      tail -c +"$((shown + 1))" "$out" | head -c "$((size - shown))"
      shown=$size
    fi
  done
  tail -c +"$((shown + 1))" "$out"
  return "$(cat "$jobs/$name.rc")"
}

vm_stop() {
  [ -n "$vm_pid" ] || return 0
  if kill -0 "$vm_pid" 2>/dev/null; then
    touch "$vm_work/jobs/poweroff"
    local waited=0
    while kill -0 "$vm_pid" 2>/dev/null && [ "$waited" -lt 60 ]; do
      sleep 1
      waited=$((waited + 1))
    done
    kill "$vm_pid" 2>/dev/null || true
  fi
  wait "$vm_pid" 2>/dev/null || true
  vm_pid=
  rm -rf "$vm_work"
  vm_work=
}
