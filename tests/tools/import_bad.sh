#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store import of files it cannot use: each is refused with its own Chinese message
# and a non-zero exit, nothing from libmdb reaches the terminal, and the target store is
# left as it was (an existing one byte for byte, a missing one not created).
set -euo pipefail
# Debian's own interpreter starts in a tenth of the time of a version manager's shim.
[ -x /usr/bin/python3 ] && python3() { /usr/bin/python3 "$@"; }
tool="$KELVARN_BUILD/kelvarn-store"
fixture="$KELVARN_TEST_DATA/legacy-zuld.mdb"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" init target.db 2> /dev/null
cp target.db target.before

# refused SOURCE MESSAGE: both into the existing store and into a missing one.
refused() {
  local source=$1 message=$2 status
  for target in target.db absent.db; do
    set +e
    "$tool" import "$source" "$target" > out.txt 2> err.txt
    status=$?
    set -e
    [ "$status" -eq 1 ] || fail "$source: exit $status: $(cat err.txt)"
    grep -qF "$message" err.txt || fail "$source: expected '$message', got: $(cat err.txt)"
    if [ "$(wc -l < err.txt)" -ne 2 ] || ! grep -q "导入未完成" err.txt; then
      fail "$source: more than the reason and the abort line: $(cat err.txt)"
    fi
    [ ! -s out.txt ] || fail "$source: printed to stdout"
  done
  cmp -s target.db target.before || fail "$source: existing store changed"
  [ ! -e absent.db ] || fail "$source: store created"
}

# Copy of the fixture changed by a Python expression on `data` (a bytearray).
variant() {
  python3 - "$fixture" "$1" "$2" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
page = lambda n: slice(n * 4096, (n + 1) * 4096)
u16 = lambda text: text.encode("utf-16-le")
exec(sys.argv[3])
open(sys.argv[2], "wb").write(data)
PY
}

echo "not there, not a file, not Access"
refused nowhere.mdb "找不到文件“nowhere.mdb”"
mkdir folder.mdb
refused folder.mdb "无法读取文件“folder.mdb”"
: > empty.mdb
refused empty.mdb "不是 Access 数据库文件"
printf '账号名称,账号类型\r\n' > text.mdb
refused text.mdb "不是 Access 数据库文件"
"$tool" init kelvarn.db 2> /dev/null
refused kelvarn.db "不是 Access 数据库文件"
variant jet5.mdb 'data[4:20] = b"Standard Jet DC\0"'
refused jet5.mdb "不是 Access 数据库文件"
variant future.mdb 'data[0x14] = 9'
refused future.mdb "Access 版本（9）无法识别"

echo "truncated"
head -c 10000 "$fixture" > cut-midpage.mdb
refused cut-midpage.mdb "已损坏或不完整"
head -c 8192 "$fixture" > cut-header.mdb
refused cut-header.mdb "已损坏或不完整"
head -c $((11 * 4096)) "$fixture" > cut-rows.mdb  # the table's data page is the last one
refused cut-rows.mdb "已损坏或不完整"

echo "corrupted"
variant no-lval.mdb 'data[page(8)] = bytes(4096)'  # second page of the 10 KB memo
refused no-lval.mdb "已损坏或不完整"
variant memo-loop.mdb 'row = 9 * 4096 + (data[9 * 4096 + 14] | data[9 * 4096 + 15] << 8); data[row:row + 4] = (8 << 8).to_bytes(4, "little")'
refused memo-loop.mdb "已损坏或不完整"  # the memo's chain of pages 8, 9, 10 turned back to 8
variant bad-memo.mdb 'i = data.index(bytes.fromhex("10270000")); data[i + 3] = 0xC0'
refused bad-memo.mdb "已损坏或不完整"
variant long-memo.mdb 'i = data.index(bytes.fromhex("b80b0040")); data[i:i + 3] = b"\xff\xff\x7f"'
refused long-memo.mdb "已损坏或不完整"
variant rows-gone.mdb 'data[11 * 4096 + 12] = 3'  # the data page now holds 3 of its 7 rows
refused rows-gone.mdb "已损坏或不完整"
variant bad-catalog.mdb 'data[page(2)] = bytes(4096)'
refused bad-catalog.mdb "已损坏或不完整"

echo "without the table or a field"
variant no-table.mdb 'data[:] = data.replace(u16("账号集合"), u16("账号集x"))'
refused no-table.mdb "中没有表“账号集合”"
variant no-field.mdb 'data[:] = data.replace(u16("最后修改"), u16("最后更改"))'
refused no-field.mdb "缺少字段“最后修改”"
variant number-field.mdb 'data[3 * 4096 + 63 + 3 * 25] = 0x04'  # 创建时间 as Long Integer
refused number-field.mdb "字段“创建时间”的类型"

echo "usage"
set +e
"$tool" import "$fixture" 2> err.txt
status=$?
set -e
[ "$status" -eq 2 ] && grep -q "用法" err.txt || fail "usage: exit $status: $(cat err.txt)"

echo "passed"
