#!/usr/bin/env bash
# Soak: writers and readers on the same image for a while, over a plain
# file (replaced by rename), a hard-linked file (written in place) and, as
# root, a window of a loop device (in place, --offset/--length).  Not run
# by CI.
#   scripts/soak.sh [SECONDS] [TOOL]   (default 60 s, build/default/tools/idprom/idprom)
#
# Each writer owns two fields far apart in the image and sets both to its
# next number in one edit.  Before each edit it reads its fields back: a
# value other than the last it wrote is an edit lost (another writer wrote
# back an image read before it).  Readers read all four fields in one run;
# a pair that differs, or an image that does not decode, is a torn read.
# Prints, per image, edits made, edits lost and torn reads; exits non-zero
# when any edit is lost or any read torn.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
tool=${2:-$top/build/default/tools/idprom/idprom}
[ -x "$tool" ] || { echo "$0: no tool at $tool" >&2; exit 2; }
work=$(mktemp -d)
loop=""
cleanup() {
  [ -n "$loop" ] && losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_STATE_HOME=$work/state  # the in-place edits' backups

# Writer NAME: fields and the value's prefix.
declare -A fields=([a]="pcb-serial chassis-serial" [b]="mainboard-serial asset-id")

# writer IMAGE KEY OPTIONS...: edits until the time is up; prints "made lost".
writer() {
  local image=$1 key=$2 n=0 made=0 lost=0 f1 f2 got
  shift 2
  read -r f1 f2 <<< "${fields[$key]}"
  local end=$((SECONDS + seconds))
  while [ $SECONDS -lt $end ]; do
    if [ $n -gt 0 ]; then
      got=$("$tool" get "$image" "$@" "$f1" "$f2" 2> /dev/null | sort -u)
      [ "$got" = "$(printf '%s%010d' "$key" $n)" ] || lost=$((lost + 1))
    fi
    n=$((n + 1))
    if "$tool" set "$image" "$@" --wait 30 "$f1=$(printf '%s%010d' "$key" $n)" \
         "$f2=$(printf '%s%010d' "$key" $n)" 2> "$work/err.$key.$BASHPID"; then
      made=$((made + 1))
    else
      echo "writer $key: $(cat "$work/err.$key.$BASHPID")" >&2
      n=$((n - 1))
    fi
  done
  echo "$made $lost"
}

# reader IMAGE OPTIONS...: reads until the time is up; prints "reads torn".
reader() {
  local image=$1 reads=0 torn=0 out
  shift
  local end=$((SECONDS + seconds))
  while [ $SECONDS -lt $end ]; do
    reads=$((reads + 1))
    if ! out=$("$tool" get "$image" "$@" pcb-serial chassis-serial mainboard-serial asset-id \
                 2> /dev/null) || [ "$(sed -n 1p <<< "$out")" != "$(sed -n 2p <<< "$out")" ] ||
       [ "$(sed -n 3p <<< "$out")" != "$(sed -n 4p <<< "$out")" ]; then
      torn=$((torn + 1))
    fi
  done
  echo "$reads $torn"
}

# soak NAME EDIT_PATH READ_PATH OPTIONS...: two writers and two readers.
status=0
soak() {
  local name=$1 edit=$2 read=$3
  shift 3
  "$tool" set "$edit" "$@" pcb-serial=a0000000000 chassis-serial=a0000000000 \
    mainboard-serial=b0000000000 asset-id=b0000000000 || { status=1; return; }
  writer "$edit" a "$@" > "$work/$name.wa" &
  writer "$edit" b "$@" > "$work/$name.wb" &
  reader "$read" "$@" > "$work/$name.r1" &
  reader "$read" "$@" > "$work/$name.r2" &
  wait
  read -r ma la < "$work/$name.wa"
  read -r mb lb < "$work/$name.wb"
  read -r r1 t1 < "$work/$name.r1"
  read -r r2 t2 < "$work/$name.r2"
  printf '%-12s %6d edits made, %d lost; %6d reads, %d torn\n' "$name:" $((ma + mb)) \
    $((la + lb)) $((r1 + r2)) $((t1 + t2))
  [ $((la + lb + t1 + t2)) = 0 ] || status=1
}

cp "$top/examples/sample.bin" "$work/plain.bin"
soak plain "$work/plain.bin" "$work/plain.bin"

cp "$top/examples/sample.bin" "$work/linked.bin"
ln "$work/linked.bin" "$work/linked-2.bin"
soak hard-linked "$work/linked.bin" "$work/linked-2.bin"

if [ "$(id -u)" = 0 ] && truncate -s 64K "$work/disk" && loop=$(losetup -f --show "$work/disk"); then
  dd if="$top/examples/sample.bin" of="$loop" bs=256 seek=16 conv=notrunc status=none
  soak loop-window "$loop" "$loop" --offset 4096 --length 256
else
  echo "loop-window: skipped (needs root and a free loop device)"
fi
exit $status
