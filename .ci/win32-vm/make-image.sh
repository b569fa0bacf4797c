#!/usr/bin/env bash
# make-image.sh DIR: makes the emulated 32-bit Windows test machine in DIR (which must not
# exist): a Debian bookworm guest with Wine and its 32-bit loader, the i686 MinGW-w64 tools,
# cmake and make, its kernel and initrd, its root file system as DIR/root.img, and a Wine prefix
# made in it by a first boot. Debian packages only, from the mirror the host's apt uses. As root;
# the host needs debootstrap, e2fsprogs and qemu-system-x86. DIR/complete is written last.
set -euo pipefail
dir=$1
files=$(cd "$(dirname "$0")" && pwd)
work=$dir.new
root=$work/root

mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '/^deb / { print $2; exit }' /etc/apt/sources.list)

# Nothing is removed while anything is still mounted inside it.
unmount_all() {
  local target
  for target in $(findmnt -rn -o TARGET | grep -F "$root/" | sort -r); do
    umount "$target" || umount -l "$target"
  done
}
remove_work() {
  unmount_all
  if findmnt -rn -o TARGET | grep -qF "$root/"; then
    echo "make-image.sh: still mounted under $root; left in place" >&2
    return 1
  fi
  rm -rf "$work"
}
trap 'remove_work' EXIT

remove_work
mkdir -p "$work"
debootstrap --variant=minbase bookworm "$root" "$mirror"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
chroot "$root" sh -c 'set -e
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -q --no-install-recommends linux-image-amd64 initramfs-tools kmod \
    wine wine64 wine32:i386 cmake make mingw-w64 g++-mingw-w64-i686-posix \
    gfortran-mingw-w64-i686
  apt-get clean
  rm -rf /var/lib/apt/lists/*'
unmount_all
install -m 755 "$files/vminit" "$root/sbin/vminit"
cp -L "$(ls "$root"/boot/vmlinuz-* | tail -n 1)" "$work/vmlinuz"
cp -L "$(ls "$root"/boot/initrd.img-* | tail -n 1)" "$work/initrd.img"
mkfs.ext4 -q -F -L zrvroot -d "$root" "$work/root.img" 8G
unmount_all
rm -rf "$root"

# The first boot makes the Wine prefix every run starts from (3-8 minutes under emulation).
. "$files/machine.sh"
trap 'vm_stop; remove_work' EXIT
vm_boot "$work" ""
vm_run 1800 "$vm_wine_env
mkdir -p /var/lib/zrvbuild
wineboot -i
wineserver -w
echo prefix made"
vm_stop
touch "$work/complete"
mv "$work" "$dir"
trap - EXIT
