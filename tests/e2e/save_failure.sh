#!/usr/bin/env bash
# A save that cannot be written (full disk, read-only mount) reports a failure, keeps the
# user's old file byte for byte and leaves no temporary file. The small file systems live in
# a private mount namespace this test makes (root).
# Usage: save_failure.sh LINKVEX-DEVSIM LINKVEX-CLI
set -uo pipefail
devsim=$1
cli=$2

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    echo "SKIP: needs root and unshare for a private tmpfs"
    exit 77
fi
if ! unshare -m true 2>/dev/null; then
    echo "SKIP: mount namespaces cannot be made here"
    exit 77
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$devsim" --log "$work/device.log" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do grep -q '^ready$' "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
port=$(head -n 1 "$work/sim.out")
[ -n "$port" ] || { echo "FAIL: linkvex-devsim did not start"; exit 1; }

mkdir -p "$work/mnt"
unshare -m --propagation private bash -s "$cli" "$port" "$work" <<'INNER'
set -u
cli=$1 port=$2 work=$3
mnt=$work/mnt
fail() { echo "FAIL: $*"; exit 1; }
mount -t tmpfs -o size=16k tmpfs "$mnt" || { echo "SKIP: tmpfs cannot be mounted"; exit 77; }
printf 'the old file, kept as it was' > "$mnt/tv.bin"
cp "$mnt/tv.bin" "$work/expected.bin"
dd if=/dev/zero of="$mnt/fill" bs=1k count=64 2>/dev/null
echo "--- full disk"
"$cli" read-edid --port "$port" --node input1 -o "$mnt/tv.bin" 2>"$work/full.err"
rc=$?
cat "$work/full.err"
[ $rc -eq 1 ] || fail "a save to a full disk exits $rc, not 1"
grep -q "cannot write" "$work/full.err" || fail "the full-disk error is not reported"
cmp -s "$mnt/tv.bin" "$work/expected.bin" || fail "the old file changed on a full disk"
left=$(ls -A "$mnt" | sort | tr '\n' ' ')
[ "$left" = "fill tv.bin " ] || fail "files left behind on a full disk: $left"

echo "--- read-only mount"
rm -f "$mnt/fill"
mount -o remount,ro "$mnt" || fail "cannot remount read-only"
reads_before=$(grep -c 'RX .*ND_ED0A' "$work/device.log")
"$cli" read-edid --port "$port" --node input1 -o "$mnt/tv.bin" 2>"$work/ro.err"
rc=$?
cat "$work/ro.err"
[ $rc -eq 1 ] || fail "a save to a read-only mount exits $rc, not 1"
grep -q "cannot create" "$work/ro.err" || fail "the read-only error is not reported"
cmp -s "$mnt/tv.bin" "$work/expected.bin" || fail "the old file changed on a read-only mount"
reads_after=$(grep -c 'RX .*ND_ED0A' "$work/device.log")
[ "$reads_before" = "$reads_after" ] || fail "the device was read although the file cannot be created"

echo "--- writable file in a read-only folder"
# The folder takes no new file (no temporary file beside the target), the file itself is a
# writable bind mount: the save overwrites it in place.
umount "$mnt"
mount -t tmpfs -o size=64k tmpfs "$mnt" || fail "cannot mount the second tmpfs"
mkdir "$mnt/folder" "$mnt/rw"
printf 'an older and longer file than any EDID, padded out well past 256 bytes: %0300d' 0 \
    > "$mnt/rw/tv.bin"
touch "$mnt/folder/tv.bin"
mount --bind "$mnt/folder" "$mnt/folder" && mount -o remount,bind,ro "$mnt/folder" ||
    fail "cannot make the folder read-only"
mount --bind "$mnt/rw/tv.bin" "$mnt/folder/tv.bin" || fail "cannot bind the writable file"
touch "$mnt/folder/probe" 2>/dev/null && fail "the folder still takes new files"
"$cli" read-edid --port "$port" --node input1 -o "$mnt/folder/tv.bin" 2>"$work/inplace.err"
rc=$?
cat "$work/inplace.err"
[ $rc -eq 0 ] || fail "a save over a writable file in a read-only folder exits $rc, not 0"
size=$(stat -c %s "$mnt/folder/tv.bin")
[ "$size" = 256 ] || fail "the file saved in place holds $size bytes, not 256"
header=$(head -c 8 "$mnt/folder/tv.bin" | od -An -tx1 | tr -d ' \n')
[ "$header" = 00ffffffffffff00 ] || fail "the file saved in place does not start with an EDID header"

echo "--- in place on a full disk"
# The new file (a display's EDID of 33 blocks, 4224 bytes) needs more room than the old one
# holds on disk: the save must find room for all of it before it overwrites a byte.
umount "$mnt/folder/tv.bin" && umount "$mnt/folder" && umount "$mnt" || fail "cannot unmount"
mount -t tmpfs -o size=16k tmpfs "$mnt" || fail "cannot mount the third tmpfs"
mkdir "$mnt/folder" "$mnt/rw"
printf 'the old file, kept as it was' > "$mnt/rw/tv.bin"
touch "$mnt/folder/tv.bin"
mount --bind "$mnt/folder" "$mnt/folder" && mount -o remount,bind,ro "$mnt/folder" ||
    fail "cannot make the folder read-only"
mount --bind "$mnt/rw/tv.bin" "$mnt/folder/tv.bin" || fail "cannot bind the writable file"
dd if=/dev/zero of="$mnt/fill" bs=1k count=64 2>/dev/null
sysfs=$work/sysfs
mkdir -p "$sysfs/class/drm/card0-DP-9"
{ head -c 126 /dev/zero; printf '\x20'; head -c $((33 * 128 - 127)) /dev/zero; } \
    > "$sysfs/class/drm/card0-DP-9/edid"
LINKVEX_SYSFS_ROOT=$sysfs "$cli" monitors --connector DP-9 -o "$mnt/folder/tv.bin" \
    2>"$work/inplace-full.err"
rc=$?
cat "$work/inplace-full.err"
[ $rc -eq 1 ] || fail "a save in place on a full disk exits $rc, not 1"
grep -q "cannot write" "$work/inplace-full.err" || fail "the full-disk error is not reported"
cmp -s "$mnt/folder/tv.bin" "$work/expected.bin" || fail "the old file changed on a full disk (in place)"
echo "PASS"
INNER
exit $?
