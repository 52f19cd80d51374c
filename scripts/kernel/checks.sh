# The kernel test's checks, sourced by /init inside the VM.  The kernel is
# the device: i2c-stub answers as EEPROM-like parts on an SMBus adapter,
# i2c-dev opens it to the tool, at24 owns one part and offers its sysfs
# `eeprom` and nvmem files.  Reads that do not go through the tool use
# busybox's i2cdump/i2cget (an independent implementation), and the kernel's
# own smbus trace events show which transfers the tool made.
#
# A check is one line of the list at the end:  check "WHAT" FUNCTION ARGS...
# The function returns non-zero on failure; what it printed is shown,
# indented, under the "FAIL - WHAT" line.  A function may write a short
# note (counts, a name) to $NOTE, shown after WHAT.

passed=0 failed=0
NOTE=/tmp/check.note
WORK=/tmp/work
TR=/sys/kernel/tracing
SLOW=/sys/fs/cgroup/slow
CHIP="--chip 24c02"
# i2c-stub's functionality masks besides its default (FUNC_ALL): byte
# transfers only (send/receive byte, byte data), and one without the
# byte transfers the tool needs.
FUNC_BYTES=0x1e0000
FUNC_NO_BYTES=0x80000
mkdir -p "$WORK"
# `kt.only=FUNCTION,...` on the kernel command line (KERNEL_TEST_ONLY for
# run.sh) runs only those checks, after load_drivers.
ONLY=$(tr ' ' '\n' < /proc/cmdline | sed -n 's/^kt.only=//p' | tr ',' ' ')
[ -n "$ONLY" ] && ONLY="load_drivers $ONLY"

check() {
  what=$1
  shift
  case " $ONLY " in "  " | *" $1 "*) ;; *) return 0 ;; esac
  : > "$NOTE"
  start=$(date +%s)
  if "$@" > /tmp/check.out 2>&1; then
    passed=$((passed + 1))
    echo "ok - $what ($(note)$(($(date +%s) - start)) s)"
  else
    failed=$((failed + 1))
    echo "FAIL - $what ($(note)$(($(date +%s) - start)) s)"
    sed 's/^/    /' /tmp/check.out
  fi
}

note() { [ -s "$NOTE" ] && printf '%s; ' "$(cat "$NOTE")"; }

fail() {
  echo "$*"
  return 1
}

# ---- reading bytes without the tool ----

# The 256 bytes of the part at ADDRESS, one hex pair a line, read by
# busybox's i2cdump with byte-data reads; -f reads a part a driver owns.
part_hex() {
  i2cdump -y $2 "$BUS" "$1" b | awk '/^[0-9a-f]0:/ { for (i = 2; i <= 17; i++) print $i }'
}

# FILE's bytes (COUNT from SKIP, default all), one hex pair a line.
file_hex() {
  if [ $# -gt 1 ]; then
    dd if="$1" bs=1 skip="$2" count="$3" 2>/dev/null | hexdump -v -e '1/1 "%02x\n"'
  else
    hexdump -v -e '1/1 "%02x\n"' "$1"
  fi
}

# Holds when the part at ADDRESS (read with i2cdump OPTION) holds FILE.
part_is() {
  part_hex "$1" $3 > "$WORK/part.hex"
  file_hex "$2" > "$WORK/file.hex"
  cmp -s "$WORK/part.hex" "$WORK/file.hex" && return 0
  echo "the part at $1 does not hold $2:"
  diff "$WORK/file.hex" "$WORK/part.hex" | head -20
  return 1
}

# The tool's name for the part at ADDRESS on the stub's adapter.
i2c_target() { echo "i2c:$BUS:$1"; }

# ---- the kernel side ----

load_drivers() {
  for m in $(cat /lib/modules/order); do
    case $m in
      i2c-stub.ko) insmod "/lib/modules/$m" chip_addr=0x50,0x51,0x52,0x53,0x54 ;;
      *) insmod "/lib/modules/$m" ;;
    esac || fail "insmod $m failed" || return 1
  done
  for a in /sys/bus/i2c/devices/i2c-*; do
    [ "$(cat "$a/name")" = "SMBus stub driver" ] && BUS=${a##*-}
  done
  [ -n "$BUS" ] || fail "no i2c-stub adapter" || return 1
  [ -c "/dev/i2c-$BUS" ] || fail "no /dev/i2c-$BUS" || return 1
  FUNC_ALL=$(cat /sys/module/i2c_stub/parameters/functionality)
  echo "24c02 0x51" > "/sys/bus/i2c/devices/i2c-$BUS/new_device" || return 1
  OWNED=/sys/bus/i2c/devices/$BUS-0051
  EEPROM=$OWNED/eeprom
  for n in /sys/bus/nvmem/devices/$BUS-0051*; do NVMEM=$n/nvmem; done
  [ -e "$OWNED/driver" ] && [ -f "$EEPROM" ] && [ -f "$NVMEM" ] ||
    fail "at24 did not bind to 0x51: $(ls "$OWNED")" || return 1
  # What the tool must not add to: the part's device and nvmem folders.
  ls -a "$OWNED" "${NVMEM%/*}" > "$WORK/sys.before"
  mount -t tracefs tracefs "$TR" || return 1
  mount -t cgroup2 cgroup2 /sys/fs/cgroup && echo +cpu > /sys/fs/cgroup/cgroup.subtree_control &&
    mkdir "$SLOW" || return 1
  echo "i2c-$BUS, at24 at $BUS-0051, ${NVMEM#/sys/bus/nvmem/devices/}" > "$NOTE"
}

# Sets i2c-stub's functionality mask; the adapter reports it from the next
# I2C_FUNCS on.
functionality() { echo "$1" > /sys/module/i2c_stub/parameters/functionality; }

# Starts `idprom ARGS...` in the background ($writer) in a cgroup that gives
# it a tenth of a CPU in 1 ms slices until its backup appears (its writes
# come next), then PERCENT: the writes then take seconds, so that a kill or
# a reader lands among them.
slow_writer() {
  percent=$1
  shift
  backups=$HOME/.local/state/idprom/backups
  mkdir -p "$backups"
  before=$(ls "$backups" | wc -l)
  echo "1000 10000" > "$SLOW/cpu.max"
  sh -c 'echo $$ > '"$SLOW"'/cgroup.procs && exec idprom "$@"' slow "$@" > /dev/null 2>&1 &
  writer=$!
  # Shell built-ins only, to see the backup within a slice.
  while kill -0 "$writer" 2> /dev/null; do
    set -- "$backups"/*
    [ $# -gt "$before" ] && break
  done
  echo "$((percent * 1000)) 100000" > "$SLOW/cpu.max"
}

# Records the smbus transfers from here on; `transfers ADDRESS` lists the
# tool's as "PROTOCOL OFFSET LENGTH" for writes, "PROTOCOL OFFSET" for reads.
trace_start() {
  echo 0 > "$TR/tracing_on"
  echo > "$TR/trace"
  echo 1 > "$TR/events/smbus/smbus_write/enable"
  echo 1 > "$TR/events/smbus/smbus_read/enable"
  echo 1 > "$TR/tracing_on"
}

transfers() {
  echo 0 > "$TR/tracing_on"
  awk -v a="a=0${1#0x}" '/ idprom-/ && $0 ~ " " a " " {
    for (i = 1; i <= NF; i++) if ($i ~ /^c=/) {
      printf "%s %s%s\n", $(i + 1), substr($i, 3), ($(i + 2) ~ /^l=/ ? " " substr($(i + 2), 3) : "")
    }
  }' "$TR/trace"
}

# ---- the tool against a model file ----

# Runs `idprom CMD TARGET OPTIONS ARGS` and the same on the MODEL file, and
# compares the exit status, standard output and standard error (the image's
# name aside).  Usage: same_as_model TARGET MODEL "OPTIONS" CMD ARGS...
same_as_model() {
  target=$1 model=$2 options=$3 cmd=$4
  shift 4
  idprom $cmd "$model" "$@" > "$WORK/m.out" 2> "$WORK/m.err"
  ms=$?
  idprom $cmd "$target" $options "$@" > "$WORK/t.out" 2> "$WORK/t.err"
  ts=$?
  for s in out err; do
    sed "s|$model|IMAGE|g" "$WORK/m.$s" > "$WORK/m.$s.n"
    sed "s|$target|IMAGE|g" "$WORK/t.$s" > "$WORK/t.$s.n"
  done
  [ "$ms" = "$ts" ] && cmp -s "$WORK/m.out.n" "$WORK/t.out.n" && cmp -s "$WORK/m.err.n" "$WORK/t.err.n" &&
    return 0
  echo "idprom $cmd $* : exit status $ts, on the file $ms"
  diff "$WORK/m.out.n" "$WORK/t.out.n" | head -10
  diff "$WORK/m.err.n" "$WORK/t.err.n" | head -10
  return 1
}

# The edits every target gets, in order, one a line: growth and shrinking,
# several fields at once, a delete, appends, and edits refused (no room,
# a value not valid for the type) that must leave every byte as it was.
EDITS="set pid=LC-48GE-FX
set chassis-serial=SN000012345 base-mac=02:1a:2b:00:00:fe mac-block-size=128
delete clei
set pcb-serial=SN0000000042
set asset-id=ASSET-0001
set --instance 2 deviation-n=7
set asset-alias=ALIAS-0002
set device-values=hex:$(printf '%0126d' 0)
set mac-block-size=many
set pcb-serial=SN7"

READS="show
show --json
show --all
dump --ascii
info
check
get pid base-mac mac-block-size
macs --count 3
checksum"

# Programs TARGET with the sample, then makes every edit of EDITS on it and
# on a model file; after each, READER (a command printing the part's bytes
# as part_hex does) must show the model's bytes.
edits_match() {
  target=$1 options=$2 reader=$3 model=$WORK/model.bin
  cp /data/sample.bin "$model"
  idprom restore --force "$target" $options /data/sample.bin > /dev/null || return 1
  while read -r cmd args; do
    same_as_model "$target" "$model" "$options" $cmd $args || return 1
    $reader > "$WORK/part.hex"
    file_hex "$model" > "$WORK/file.hex"
    cmp -s "$WORK/part.hex" "$WORK/file.hex" ||
      fail "after '$cmd $args' the bytes differ from the file's: $(diff "$WORK/file.hex" "$WORK/part.hex" | head -6)" ||
      return 1
  done <<EOF
$EDITS
EOF
  echo "$(echo "$EDITS" | wc -l) edits" > "$NOTE"
}

reads_match() {
  target=$1 options=$2
  idprom restore --force "$target" $options /data/sample.bin > /dev/null || return 1
  while read -r cmd args; do
    same_as_model "$target" /data/sample.bin "$options" $cmd $args || return 1
  done <<EOF
$READS
EOF
}

# ---- the checks ----

restore_programs_part() {
  idprom restore --force "$(i2c_target 0x50)" $CHIP /data/sample.bin || return 1
  part_is 0x50 /data/sample.bin
}

# An edit's page writes, seen in the kernel's trace, are the ones its dry
# run lists: each from its first to its last changed byte within a page.
pages_as_planned() {
  p=$(i2c_target 0x50)
  idprom restore --force "$p" $CHIP /data/sample.bin > /dev/null || return 1
  idprom set "$p" $CHIP --dry-run chassis-serial=SN000012345 pid=LC-48GE-FX |
    awk '/^page writes/ { on = 1; next } on { print }' > "$WORK/planned"
  trace_start
  idprom set "$p" $CHIP chassis-serial=SN000012345 pid=LC-48GE-FX || return 1
  # A write of one byte is a byte-data write; an I2C-block write's length
  # in the trace counts the block's count byte.
  transfers 0x50 | while read -r proto at n; do
    case $proto.$n in
      BYTE_DATA.1) printf '  0x%04x, 1 byte\n' "0x$at" ;;
      I2C_BLOCK_DATA.?*) printf '  0x%04x, %d bytes\n' "0x$at" $((n - 1)) ;;
    esac
  done > "$WORK/traced"
  [ -s "$WORK/planned" ] && cmp -s "$WORK/planned" "$WORK/traced" ||
    fail "planned: $(cat "$WORK/planned") written: $(cat "$WORK/traced")" || return 1
  echo "$(wc -l < "$WORK/traced") page writes" > "$NOTE"
}

driver_bound_refused() {
  p=$(i2c_target 0x51)
  part_hex 0x51 -f > "$WORK/before.hex"
  want="idprom: $p: Device or resource busy (a kernel driver owns the part; use its device file)"
  for cmd in "get pid" "set pid=LC-48GE-FX" "restore /data/sample.bin"; do
    idprom ${cmd%% *} "$p" $CHIP ${cmd#* } > /dev/null 2> "$WORK/err"
    s=$?
    [ "$s" = 5 ] && [ "$(cat "$WORK/err")" = "$want" ] ||
      fail "$cmd: exit status $s, message: $(cat "$WORK/err")" || return 1
  done
  part_hex 0x51 -f | cmp -s - "$WORK/before.hex" || fail "the part changed"
}

# Each of EDITORS processes sets one field at the same moment; the image must
# end as the same edits made one after the other on a file.
EDITORS="pid=LC-48GE-FX pcb-serial=SN000000011 chassis-serial=SN000000012 clei=CLEI000002
vid=V02 eci=654321 mac-block-size=128 base-mac=0200.0000.0200"

concurrent_editors() {
  target=$1 options=$2 reader=$3 model=$WORK/model.bin
  cp /data/sample.bin "$model"
  idprom restore --force "$target" $options /data/sample.bin > /dev/null || return 1
  pids=""
  for e in $EDITORS; do
    idprom set "$target" $options --wait 60 "$e" &
    pids="$pids $!"
    idprom set "$model" "$e" || return 1
  done
  for pid in $pids; do wait "$pid" || fail "an editor failed" || return 1; done
  $reader > "$WORK/part.hex"
  file_hex "$model" | cmp -s - "$WORK/part.hex" ||
    fail "edits lost: $(idprom diff "$model" "$target" $options)"
}

# Starts `idprom ARGS...` in the background ($writer) at PERCENT of a CPU
# from its start: cheaper to aim than slow_writer, so more rounds are needed.
steady_writer() {
  echo "$(($1 * 1000)) 100000" > "$SLOW/cpu.max"
  shift
  sh -c 'echo $$ > '"$SLOW"'/cgroup.procs && exec idprom "$@"' slow "$@" > /dev/null 2>&1 &
  writer=$!
}

# Writes image B over A and A over B (ROUNDS times, default once), slowly
# (WRITER, default slow_writer 1); while the writer runs, a reader reads
# again and again: every read must be A's or B's checksum.
reader_sees_whole() {
  target=$1 options=$2 rounds=${3:-1} how=${4:-slow_writer 1} a=/data/sample.bin b=$WORK/b.bin
  cp "$a" "$b"
  idprom set "$b" pid=LC-48GE-FX chassis-serial=SN000012345 eci=654321 base-mac=0200.0000.0200 \
    asset-id=ASSET-0001 > /dev/null || return 1
  ca=$(idprom checksum "$a") cb=$(idprom checksum "$b")
  idprom restore --force "$target" $options "$a" > /dev/null || return 1
  reads=0 torn=0 waited=0
  for image in $(for _ in $(seq "$rounds"); do echo "$b" "$a"; done); do
    $how restore --force "$target" $options "$image"
    while kill -0 "$writer" 2> /dev/null; do
      got=$(idprom checksum "$target" $options 2> "$WORK/err")
      reads=$((reads + 1))
      [ "$got" = "$ca" ] || [ "$got" = "$cb" ] && continue
      # A reader that waited its 10 s for the writer's lock saw no image.
      grep -q 'in use by another idprom process' "$WORK/err" && waited=$((waited + 1)) && continue
      torn=$((torn + 1))
      echo "read: $got $(cat "$WORK/err")"
    done
    wait "$writer" || fail "the writer failed" || return 1
  done
  echo "$reads reads during $((2 * rounds)) writes, $torn torn, $waited gave up waiting" > "$NOTE"
  [ "$torn" = 0 ] && [ "$((reads - waited))" -ge 2 ]
}

# Parts are programmed with `restore --force FILE`: the files are not
# backups of the part, which restore refuses without --force.
#
# Kills an edit with SIGKILL between its writes, then `restore` puts the
# newest backup (the one the killed edit made) back.  On the byte-only
# adapter an edit is four transfers a byte, so the slowed-down writer is
# caught among them; the first write is seen in the trace (a read over the
# bus would move the part's address under the writer).  An edit that
# finished before the kill landed is a miss of the timing, tried again.
killed_then_restored() {
  p=$(i2c_target 0x53) a=/data/sample.bin b=$WORK/b.bin
  cp "$a" "$b"
  idprom set "$b" pid=LC-48GE-FX chassis-serial=SN000012345 asset-id=ASSET-0001 || return 1
  file_hex "$a" > "$WORK/a.hex"
  for try in 1 2 3 4 5 6; do
    idprom restore --force "$p" $CHIP "$a" > /dev/null || return 1
    functionality $FUNC_BYTES
    trace_start
    slow_writer 1 restore --force "$p" $CHIP "$b"
    while kill -0 "$writer" 2> /dev/null && ! grep -q ' a=053 .*BYTE_DATA l=1 ' "$TR/trace"; do
      usleep 1000
    done
    kill -9 "$writer" 2> /dev/null
    wait "$writer"
    functionality "$FUNC_ALL"
    part_hex 0x53 > "$WORK/part.hex"
    file_hex "$b" | cmp -s - "$WORK/part.hex" || break
    echo "try $try: the edit finished before the kill"
  done
  cmp -s "$WORK/a.hex" "$WORK/part.hex" && fail "the kill came before any write" && return 1
  # A host too busy to land the kill in any try still checks the restore.
  file_hex "$b" | cmp -s - "$WORK/part.hex" && echo "the kill landed after the edit in every try" > "$NOTE"
  # The newest backup is the one the killed restore made first.  A part
  # left half-written may read as another board (the killed write was
  # changing its PID), which restore refuses without --force.
  idprom restore --force "$p" $CHIP || return 1
  part_is 0x53 "$a" && idprom check "$p" $CHIP > /dev/null
}

# A window of 128 bytes from offset 64 of a part whose bytes are all 0xa5:
# programmed and edited; the bytes around it are never written.
window_on_part() {
  p=$(i2c_target 0x54) w=$WORK/window.bin
  for at in 0x00 0x20 0x40 0x60 0x80 0xa0 0xc0 0xe0; do
    i2cset -y "$BUS" 0x54 "$at" $(yes 0xa5 | head -32) i || return 1
  done
  idprom new --force --size 128 "$w" && idprom set "$w" pid=WIN-TEST pcb-serial=SN1 || return 1
  idprom restore --force "$p" $CHIP --offset 64 --length 128 "$w" > /dev/null || return 1
  same_as_model "$p" "$w" "$CHIP --offset 64 --length 128" set pid=LC-48GE-FX asset-id=X ||
    return 1
  { yes a5 | head -64; file_hex "$w"; yes a5 | head -64; } > "$WORK/want.hex"
  part_hex 0x54 | cmp -s - "$WORK/want.hex" || fail "bytes around the window changed"
}

window_on_nvmem() {
  w=$WORK/window.bin
  dd if="$NVMEM" of="$WORK/nvmem.before" 2> /dev/null
  idprom new --force --size 96 "$w" && idprom set "$w" pid=WIN-TEST || return 1
  idprom restore --force "$NVMEM" --offset 160 --length 96 "$w" > /dev/null || return 1
  same_as_model "$NVMEM" "$w" "--offset 160 --length 96" set pid=LC-48GE-FX || return 1
  { file_hex "$WORK/nvmem.before" 0 160; file_hex "$w"; } > "$WORK/want.hex"
  part_hex 0x51 -f | cmp -s - "$WORK/want.hex" || fail "bytes around the window changed"
}

# The part's device and nvmem folders list what they listed before any
# edit; every backup of the sysfs files is outside /sys and holds a
# decodable image.
sysfs_untouched() {
  ls -a "$OWNED" "${NVMEM%/*}" | cmp -s - "$WORK/sys.before" ||
    fail "files appeared in /sys: $(ls -a "$OWNED" "${NVMEM%/*}" | diff "$WORK/sys.before" -)" ||
    return 1
  n=0
  for f in "$EEPROM" "$NVMEM"; do
    for b in $(idprom backups "$f" | awk '{ print $1 }'); do
      case $b in "$HOME"/.local/state/idprom/backups/*) ;; *) fail "backup $b" || return 1 ;; esac
      [ -f "$b" ] && n=$((n + 1))
    done
  done
  echo "$n backups" > "$NOTE"
  [ "$n" -gt 0 ]
}

# The backup an in-place edit of the sysfs file makes holds the bytes from
# before the edit.
backup_holds_before() {
  dd if="$EEPROM" of="$WORK/before.bin" 2> /dev/null
  idprom set "$EEPROM" pid=BACKUP-TEST > /dev/null || return 1
  newest=$(idprom backups "$EEPROM" | awk 'NR == 1 { print $1 }')
  cmp "$newest" "$WORK/before.bin"
}

byte_transfers_only() {
  p=$(i2c_target 0x52)
  functionality $FUNC_BYTES
  trace_start
  idprom restore --force "$p" $CHIP /data/sample.bin > /dev/null && idprom set "$p" $CHIP pid=LC-48GE-FX
  s=$?
  used=$(transfers 0x52 | awk '{ print $1 }' | sort -u | tr '\n' ' ')
  functionality "$FUNC_ALL"
  [ "$s" = 0 ] || return 1
  echo "$used" > "$NOTE"
  [ "$used" = "BYTE BYTE_DATA " ] || fail "transfers used: $used"
}

no_byte_transfers_refused() {
  functionality $FUNC_NO_BYTES
  idprom get "$(i2c_target 0x52)" $CHIP pid > /dev/null 2> "$WORK/err"
  s=$?
  functionality "$FUNC_ALL"
  [ "$s" = 5 ] &&
    [ "$(cat "$WORK/err")" = "idprom: /dev/i2c-$BUS: the adapter does neither plain I2C nor SMBus byte transfers" ] ||
    fail "exit status $s: $(cat "$WORK/err")"
}

with_bytes_only() {
  functionality $FUNC_BYTES
  "$@"
  s=$?
  functionality "$FUNC_ALL"
  return $s
}

part50() { part_hex 0x50; }
part51() { part_hex 0x51 -f; }
part52() { part_hex 0x52; }

# scan finds the board on an unbound part and the one at24 owns, with their
# PIDs, and says "no image" for a part of zeros; it writes nothing: no
# SMBus write of the tool's in the kernel's trace, every part's bytes (read
# by i2cdump) as before, no backup.
scan_finds_parts() {
  b=$WORK/two.bin
  cp /data/sample.bin "$b" && idprom set "$b" pid=SCAN-TWO > /dev/null || return 1
  idprom restore --force "$(i2c_target 0x50)" $CHIP /data/sample.bin > /dev/null &&
    idprom restore --force "$EEPROM" "$b" > /dev/null || return 1
  for at in 0x00 0x20 0x40 0x60 0x80 0xa0 0xc0 0xe0; do
    i2cset -y "$BUS" 0x52 "$at" $(yes 0x00 | head -32) i || return 1
  done
  for a in 0x50 0x52 0x53 0x54; do part_hex $a > "$WORK/scan.$a"; done
  part_hex 0x51 -f > "$WORK/scan.0x51"
  ls -l "$HOME/.local/state/idprom/backups" > "$WORK/scan.backups"
  trace_start
  idprom scan --bus "$BUS" > "$WORK/scan.out" || fail "exit status $?" || return 1
  echo 0 > "$TR/tracing_on"
  cat "$WORK/scan.out"
  pid=$(idprom get /data/sample.bin pid)
  grep -q "^i2c:$BUS:0x50: 1 address byte (proven by reads), 256 bytes read; pid=$pid " \
    "$WORK/scan.out" || fail "no line for 0x50 with pid=$pid" || return 1
  grep -q "^$EEPROM (i2c:$BUS:0x51, driver at24): 24c02, 256 bytes (from the driver); pid=SCAN-TWO " \
    "$WORK/scan.out" || fail "no line for the at24 part with pid=SCAN-TWO" || return 1
  grep -q "^i2c:$BUS:0x52: .*; no image$" "$WORK/scan.out" || fail "0x52 not 'no image'" || return 1
  grep -q "i2c:$BUS:0x51:" "$WORK/scan.out" && fail "the at24 part was probed" && return 1
  writes=$(grep ' idprom-' "$TR/trace" | grep -c 'smbus_write:')
  [ "$writes" = 0 ] || fail "$writes SMBus writes by the tool" || return 1
  for a in 0x50 0x52 0x53 0x54; do
    part_hex $a | cmp -s - "$WORK/scan.$a" || fail "the part at $a changed" || return 1
  done
  part_hex 0x51 -f | cmp -s - "$WORK/scan.0x51" || fail "the at24 part changed" || return 1
  ls -l "$HOME/.local/state/idprom/backups" | cmp -s - "$WORK/scan.backups" || fail "a backup"
  echo "$(wc -l < "$WORK/scan.out") parts" > "$NOTE"
}

# ---- the list ----

check "i2c-stub, i2c-dev and at24 loaded; at24 bound through new_device" load_drivers
check "i2c: restore programs the part; i2cdump reads the image back" restore_programs_part
check "i2c: reads equal the file's" reads_match "$(i2c_target 0x50)" "$CHIP"
check "i2c: edits equal the same edits on a file, read back with i2cdump" \
  edits_match "$(i2c_target 0x50)" "$CHIP" part50
check "i2c: page writes in the kernel's trace are the dry run's" pages_as_planned
check "i2c: a part bound to a driver is refused, and left as it was" driver_bound_refused
check "i2c: concurrent editors lose nothing" concurrent_editors "$(i2c_target 0x50)" "$CHIP" part50
check "i2c: a reader during a writer sees a whole image" reader_sees_whole "$(i2c_target 0x50)" "$CHIP"
check "i2c: a window's edit leaves the bytes around it" window_on_part
check "sysfs eeprom: reads equal the file's" reads_match "$EEPROM" ""
check "sysfs eeprom: edits in place equal a file's, read back over the bus" \
  edits_match "$EEPROM" "" part51
check "nvmem: edits in place equal a file's, read back over the bus" edits_match "$NVMEM" "" part51
check "sysfs eeprom: the backup holds the bytes before the edit" backup_holds_before
check "sysfs eeprom: concurrent editors lose nothing" concurrent_editors "$EEPROM" "" part51
check "sysfs eeprom: a reader during a writer sees a whole image" \
  reader_sees_whole "$EEPROM" "" 3 "steady_writer 5"
check "nvmem: a window's edit leaves the bytes around it" window_on_nvmem
check "sysfs: backups outside /sys, nothing created in /sys" sysfs_untouched
check "byte-only adapter: only byte transfers in the kernel's trace" byte_transfers_only
check "byte-only adapter: edits equal a file's" \
  with_bytes_only edits_match "$(i2c_target 0x52)" "$CHIP" part52
check "byte-only adapter: kill -9 during a write, then restore" killed_then_restored
check "adapter without byte transfers: refused with a clear message" no_byte_transfers_refused
check "scan: both boards with their PIDs, no image on zeros; nothing written" scan_finds_parts

echo "kernel $(uname -r)"
echo "$passed passed, $failed failed"
