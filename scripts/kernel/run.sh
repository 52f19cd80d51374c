#!/bin/sh
# The kernel test (`make test-kernel`): boots the kernel of Debian's
# linux-image-amd64 under QEMU with an initramfs holding the tool, its
# libraries, busybox and the i2c-stub, i2c-dev and at24 modules; /init runs
# scripts/kernel/checks.sh against the real drivers.  Passes only when the
# VM's last word is "N passed, 0 failed".
#   scripts/kernel/run.sh [TOOL]   (default: build/default/tools/idprom/idprom)
# KERNEL_TEST_TIMEOUT (seconds, default 900) bounds the VM's run; KVM is
# used when /dev/kvm works, TCG otherwise.  KERNEL_TEST_ONLY=FUNCTION,...
# runs only those checks (checks.sh names them).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
tool=${1:-$top/build/default/tools/idprom/idprom}
out=$top/build/kernel
[ -x "$tool" ] || { echo "$0: no tool at $tool (build the idprom_tool target first)" >&2; exit 2; }

# The newest installed kernel that has the i2c-stub module.
release=""
for k in $(ls /boot/vmlinuz-* 2>/dev/null | sort -V); do
  r=${k#/boot/vmlinuz-}
  ls "/lib/modules/$r/kernel/drivers/i2c/i2c-stub.ko"* > /dev/null 2>&1 && release=$r
done
[ -n "$release" ] || { echo "$0: no kernel with i2c-stub (install linux-image-amd64)" >&2; exit 2; }

mkdir -p "$out"
"$here/initramfs.sh" "$tool" "$release" "$out/initramfs.cpio.gz"

append="console=ttyS0 quiet loglevel=3 panic=-1"
[ -n "${KERNEL_TEST_ONLY:-}" ] && append="$append kt.only=$KERNEL_TEST_ONLY"
raw=$out/console.raw
log=$out/console.log

# start_vm CONSOLE ACCEL_OPTIONS...: starts the VM in the background.
start_vm() {
  console=$1
  shift
  : > "$console"  # there before the tail below follows it
  timeout "${KERNEL_TEST_TIMEOUT:-900}" qemu-system-x86_64 "$@" -m 1024 -smp 2 \
    -nodefaults -no-user-config -display none -serial stdio -no-reboot \
    -kernel "/boot/vmlinuz-$release" -initrd "$out/initramfs.cpio.gz" \
    -append "$append" < /dev/null > "$console" 2>&1 &
  vm=$!
}

# Some hosts offer a /dev/kvm on which the kernel never gets to /init (a
# nested or emulated KVM): without the init's first line within 20 s, TCG.
accel=tcg
if [ -r /dev/kvm ] && [ -w /dev/kvm ] && (: < /dev/kvm) 2> /dev/null; then
  start_vm "$raw" -accel kvm -cpu host
  for _ in $(seq 20); do
    grep -q '^kernel: ' "$raw" 2> /dev/null || ! kill -0 "$vm" 2> /dev/null && break
    sleep 1
  done
  if grep -q '^kernel: ' "$raw"; then
    accel=kvm
  else
    kill "$vm" 2> /dev/null || true
    wait "$vm" 2> /dev/null || true
    echo "KVM did not reach /init within 20 s; using TCG"
  fi
fi
[ "$accel" = tcg ] && start_vm "$raw.tcg" -accel tcg && raw=$raw.tcg
echo "booting $release ($accel) with $tool"
tail -n +1 -f --pid="$vm" "$raw" | sed -u 's/\r$//'
wait "$vm" || true
tr -d '\r' < "$raw" > "$log"

summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
case $summary in
  "") echo "$0: the VM did not finish the checks (timeout or crash); console in $log" >&2; exit 1 ;;
  *" 0 failed") exit 0 ;;
  *) exit 1 ;;
esac
