#!/bin/sh
# Builds the initramfs of the kernel test: static busybox, the tool with the
# shared libraries it loads, the kernel modules the checks load (with what
# they depend on, from modules.dep), the sample image, /init and the checks.
#   scripts/kernel/initramfs.sh TOOL KERNEL_RELEASE OUT.cpio.gz
set -eu
tool=$1 release=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
moddir=/lib/modules/$release
# The drivers under test; anything they need comes from modules.dep.
modules="i2c-stub i2c-dev at24"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/usr/bin" "$root/lib/modules" "$root/data" \
  "$root/proc" "$root/sys" "$root/dev" "$root/tmp" "$root/run" "$root/root"
cp /bin/busybox "$root/bin/busybox"
! ldd "$root/bin/busybox" >/dev/null 2>&1 ||
  { echo "$0: /bin/busybox is not the static one (install busybox-static)" >&2; exit 1; }

# The tool and every shared object it loads (none when it is linked
# static), at the paths the loader searches (the build tree's run path does
# not exist in the VM).
cp "$tool" "$root/usr/bin/idprom"
ldd "$tool" | awk '/=> \//{print $3} /^\t\/[^ ]*ld-linux/{print $1}' | while read -r lib; do
  case $lib in
    */ld-linux*) dest=$root$lib ;;
    *) dest=$root/lib/x86_64-linux-gnu/${lib##*/} ;;
  esac
  mkdir -p "$(dirname "$dest")"
  cp -L "$lib" "$dest"
done
# Debug sections only slow the boot down.
for dir in "$root/usr" "$root/lib" "$root/lib64"; do
  [ ! -d "$dir" ] || find "$dir" -type f -exec strip --strip-debug {} +
done

# Modules in load order: each one's dependencies (modules.dep lists them,
# deepest last) before it.  Compressed ones are unpacked here, since
# busybox's insmod takes only plain ELF objects.
order=""
for m in $modules; do
  line=$(grep -E "/$m\.ko(\.xz|\.zst|\.gz)?:" "$moddir/modules.dep") ||
    { echo "$0: module $m not in $moddir/modules.dep" >&2; exit 1; }
  for dep in $(echo "${line#*:}" | awk '{for (i = NF; i > 0; i--) print $i}') "${line%%:*}"; do
    case " $order " in *" $dep "*) ;; *) order="$order $dep" ;; esac
  done
done
: > "$root/lib/modules/order"
for path in $order; do
  name=$(basename "$path"); name=${name%.xz}; name=${name%.zst}; name=${name%.gz}
  case $path in
    *.xz) xz -dc "$moddir/$path" > "$root/lib/modules/$name" ;;
    *.zst) zstd -qdc "$moddir/$path" > "$root/lib/modules/$name" ;;
    *.gz) gzip -dc "$moddir/$path" > "$root/lib/modules/$name" ;;
    *) cp "$moddir/$path" "$root/lib/modules/$name" ;;
  esac
  echo "$name" >> "$root/lib/modules/order"
done

cp "$top/examples/sample.bin" "$root/data/sample.bin"
cp "$here/init" "$root/init"
cp "$here/checks.sh" "$root/checks.sh"
chmod 755 "$root/init"
(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) | gzip -1 > "$out"
