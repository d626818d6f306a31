#!/usr/bin/env bash
# Logs that cannot be written: every failed draw is reported, earlier
# records stay intact, and no cut-off record is left behind.
set -euo pipefail
harness="$1"
checker="$2"
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# As root, permissions are tested as an unprivileged user.
as_user=()
if [ "$(id -u)" = 0 ]; then
    command -v runuser >/dev/null || { echo "SKIP: runuser missing"; exit 77; }
    as_user=(runuser -u nobody --)
fi
expect_all_failed() { # output file, draws
    [ "$(grep -c '^FAILED ' "$1" || true)" = "$2" ] || { cat "$1"; fail "not every draw was reported failed"; }
    ! grep -q '^SAVED ' "$1" || fail "a draw was reported saved"
}

# The check at OK, before the first draw: refused with the reason, nothing left behind.
expect_check_refused() { # folder, reason, command prefix...
    local folder="$1" reason="$2"
    shift 2
    (cd "$folder" && "$@" "$harness" --check >"$folder.check") && { cat "$folder.check"; fail "$folder: the log check passed"; }
    grep -q "^NOT APPENDABLE	.*$reason" "$folder.check" || { cat "$folder.check"; fail "$folder: the check gives no reason"; }
}

echo "log check in a writable folder"
mkdir "$work/ok"
(cd "$work/ok" && "$harness" --check | grep -qx APPENDABLE) || fail "a writable folder was refused"
[ ! -e "$work/ok/Result.txt" ] || fail "the check left a log behind"

echo "log is a folder"
mkdir -p "$work/dir/Result.txt"
expect_check_refused "$work/dir" "是一个文件夹"
(cd "$work/dir" && "$harness" --draws 2 >"$work/dir.out")
expect_all_failed "$work/dir.out" 2

echo "read-only folder"
mkdir "$work/ro"
chmod 555 "$work/ro"
expect_check_refused "$work/ro" "没有写入权限" "${as_user[@]}"
(cd "$work/ro" && "${as_user[@]}" "$harness" --draws 3 >"$work/ro.out")
expect_all_failed "$work/ro.out" 3
[ ! -e "$work/ro/Result.txt" ] || fail "a log appeared in a read-only folder"

echo "read-only log with earlier records"
mkdir "$work/rolog"
(cd "$work/rolog" && "$harness" --draws 2 >/dev/null)
chmod 444 "$work/rolog/Result.txt"
chmod 777 "$work/rolog"
before=$(sha256sum < "$work/rolog/Result.txt")
(cd "$work/rolog" && "${as_user[@]}" "$harness" --draws 3 >"$work/rolog.out")
expect_all_failed "$work/rolog.out" 3
[ "$(sha256sum < "$work/rolog/Result.txt")" = "$before" ] || fail "earlier records changed"

echo "log linked to a device"
mkdir "$work/device"
ln -s /dev/full "$work/device/Result.txt"
expect_check_refused "$work/device" "是一个设备，不是普通文件"
(cd "$work/device" && "$harness" --draws 3 >"$work/device.out")
expect_all_failed "$work/device.out" 3
grep -q '是一个设备，不是普通文件' "$work/device.out" || fail "the reason is not given"

echo "log on a full disk"
mkdir "$work/full"
if mount -t tmpfs -o size=64k tmpfs "$work/full" 2>/dev/null; then
    trap 'umount "$work/full" 2>/dev/null || true; chmod -R u+w "$work"; rm -rf "$work"' EXIT
    head -c 1M /dev/zero >"$work/full/filler" 2>/dev/null || true # fills the disk to the last byte
    expect_check_refused "$work/full" "磁盘已满"
    [ ! -e "$work/full/Result.txt" ] || fail "the check left a log on the full disk"
    (cd "$work/full" && "$harness" --draws 3 >"$work/full.out")
    expect_all_failed "$work/full.out" 3
    grep -q '磁盘已满' "$work/full.out" || { cat "$work/full.out"; fail "the reason is not given"; }
    [ ! -e "$work/full/Result.txt" ] || fail "a failed first write left a log behind"
    umount "$work/full"
else
    echo "(no tmpfs can be mounted here: the full disk is covered by the file-size limit below)"
fi

echo "file-size limit"
mkdir "$work/limit"
(cd "$work/limit" && "$harness" --draws 2 >/dev/null)
(
    cd "$work/limit"
    trap '' XFSZ
    ulimit -f 2 # 2 KiB
    "$harness" --draws 40 >"$work/limit.out"
)
saved=$(grep -c '^SAVED ' "$work/limit.out" || true)
failed=$(grep -c '^FAILED ' "$work/limit.out" || true)
[ "$failed" -gt 0 ] || fail "the limit was never reached"
[ $((saved + failed)) = 40 ] || fail "a draw went unreported"
records=$(python3 "$checker" "$work/limit/Result.txt" "$work/limit.out")
[ "$records" = $((saved + 2)) ] || fail "$records records for $saved saved draws and 2 earlier ones"
echo "limit: $saved saved, $failed reported failed, $records complete records"
echo "fault injection passed"
