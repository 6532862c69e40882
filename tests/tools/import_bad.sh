#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store import of files it cannot use: each is refused with its own Chinese message
# and exit 1, nothing from libmdb reaches the terminal, and the target store is left as it
# was (an existing one byte for byte, a missing one not created).
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
"$tool" init target.db 2> /dev/null
cp target.db target.before

# refused SOURCE MESSAGE: both into the existing store and into a missing one.
refused() {
  for target in target.db absent.db; do
    expect 1 "$2" import "$1" "$target"
    [ "$(wc -l < err.txt)" -eq 2 ] && grep -q "导入未完成" err.txt && [ ! -s out.txt ] ||
      fail "$1: more than the reason and the abort line: $(cat out.txt err.txt)"
  done
  cmp -s target.db target.before || fail "$1: existing store changed"
  [ ! -e absent.db ] || fail "$1: store created"
}
# bad NAME CODE MESSAGE: a variant of the fixture is refused.
bad() { variant "$1" "$2" && refused "$1" "$3"; }

echo "not there, not a file, not Access"
refused nowhere.mdb "找不到文件“nowhere.mdb”"
mkdir folder.mdb
refused folder.mdb "无法读取文件“folder.mdb”"
: > empty.mdb
refused empty.mdb "不是 Access 数据库文件"
printf '账号名称,账号类型\r\n' > text.mdb
refused text.mdb "不是 Access 数据库文件"
cp target.db kelvarn.db
refused kelvarn.db "不是 Access 数据库文件"
bad jet5.mdb 'data[4:20] = b"Standard Jet DC\0"' "不是 Access 数据库文件"
bad future.mdb 'data[0x14] = 9' "Access 版本（9）无法识别"

echo "truncated, corrupted"
bad cut-midpage.mdb 'del data[10000:]' "已损坏或不完整"
bad cut-header.mdb 'del data[8192:]' "已损坏或不完整"
bad cut-rows.mdb 'del data[11 * 4096:]' "已损坏或不完整" # the table's data page is the last
bad no-lval.mdb 'data[page(8)] = bytes(4096)' "已损坏或不完整" # 2nd page of the 10 KB memo
# The memo's chain of pages 8, 9, 10 turned back to 8.
bad memo-loop.mdb 'row = 9 * 4096 + (data[9 * 4096 + 14] | data[9 * 4096 + 15] << 8)
data[row:row + 4] = (8 << 8).to_bytes(4, "little")' "已损坏或不完整"
bad bad-memo.mdb 'data[data.index(bytes.fromhex("10270000")) + 3] = 0xC0' "已损坏或不完整"
bad long-memo.mdb 'i = data.index(bytes.fromhex("b80b0040")); data[i:i + 3] = b"\xff\xff\x7f"' \
  "已损坏或不完整"
bad rows-gone.mdb 'data[11 * 4096 + 12] = 3' "已损坏或不完整" # the page now holds 3 of 7 rows
bad bad-catalog.mdb 'data[page(2)] = bytes(4096)' "已损坏或不完整"

echo "without the table or a field"
bad no-table.mdb 'data[:] = data.replace(u16("账号集合"), u16("账号集x"))' "中没有表“账号集合”"
bad no-field.mdb 'data[:] = data.replace(u16("最后修改"), u16("最后更改"))' "缺少字段“最后修改”"
# 创建时间 as Long Integer
bad number-field.mdb 'data[3 * 4096 + 63 + 3 * 25] = 0x04' "字段“创建时间”的类型"

expect 2 "用法" import "$fixture"
echo "passed"
