# The QEMU guest for the real-driver tests: Debian's own kernel (unpacked from linux-image-amd64, not
# installed) and an initramfs of busybox, tests/drivers/init and the modules that the USB serial adapter,
# the 9p shares and an overlay over the cached Wine prefix need. Kept in the cache beside Qt for Windows,
# one folder per kernel and init.
#
# guest_image CACHE: builds the image if missing; sets GUEST_KERNEL and GUEST_INITRD.
GUEST_MODULES=(usbcore xhci-pci usbserial ftdi_sio virtio_pci 9pnet_virtio 9p overlay)

guest_image() {
  local cache=$1 package version key dir
  package=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -n1)
  [ -n "$package" ] || { echo "No kernel package behind linux-image-amd64" >&2; return 1; }
  version=${package#linux-image-}
  key=$(cat tests/drivers/init scripts/lib/guest-image.sh | sha256sum | cut -c1-12)
  dir=$cache/guest-$version-$key
  GUEST_KERNEL=$dir/vmlinuz
  GUEST_INITRD=$dir/initrd.gz
  [ -f "$GUEST_INITRD" ] && return 0
  echo "== building the guest for kernel $version in $dir"
  rm -rf "$cache"/guest-*
  mkdir -p "$dir/work"
  (cd "$dir/work" && apt-get download "$package" >/dev/null 2>&1) || { echo "Cannot download $package" >&2; return 1; }
  dpkg-deb -x "$dir/work/"*.deb "$dir/work/root"
  local kroot=$dir/work/root modules=$dir/work/root/lib/modules/$version
  busybox depmod -b "$kroot" "$version"
  cp "$kroot/boot/vmlinuz-$version" "$GUEST_KERNEL"

  local initrd=$dir/work/initrd order=() module
  mkdir -p "$initrd"/{bin,dev,proc,sys,host,modules}
  cp /usr/bin/busybox "$initrd/bin/busybox"
  ln -s busybox "$initrd/bin/sh"
  cp tests/drivers/init "$initrd/init"
  chmod +x "$initrd/init"
  # Each module after the ones it depends on, each once.
  add_module() {
    local path=$1 line dep
    line=$(grep "^$path:" "$modules/modules.dep") || { echo "No module $path" >&2; return 1; }
    for dep in ${line#*:}; do add_module "$dep"; done
    [[ " ${order[*]} " == *" $path "* ]] || order+=("$path")
  }
  for module in "${GUEST_MODULES[@]}"; do
    add_module "$(grep -E "/$module\.ko(\.[a-z]+)?:" "$modules/modules.dep" | cut -d: -f1)"
  done
  for module in "${order[@]}"; do
    cp "$modules/$module" "$initrd/modules/"
    basename "$module" >>"$initrd/modules/order"
  done
  (cd "$initrd" && find . | cpio -o -H newc --quiet | gzip -1) >"$GUEST_INITRD.part"
  mv "$GUEST_INITRD.part" "$GUEST_INITRD"
  rm -rf "$dir/work"
}
