#!/usr/bin/env bash
# shellcheck disable=SC2015  # A && B || fail is meant
# kelvarn-store import: every cell of the Jet 4 fixture arrives exactly, rows keep their
# order and are appended to an existing store, fields are found by name, ACE headers read
# the same, and a failure while writing leaves the store as it was (or not there at all).
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
first="'先有','类','内容','2015/01/31 08:05:09','2015/01/31 08:05:09'"

echo "new store: every cell, in order"
expect 0 "已导入 7 个账号" import "$fixture" new.db
same new.db
[ "$(stat -c %a new.db)" = 600 ] || fail "new store is not private"

echo "existing store: rows appended after its own"
"$tool" init old.db 2> /dev/null
sqlite3 old.db "INSERT INTO 账号集合 VALUES($first)"
expect 0 "已导入 7 个账号" import "$fixture" old.db
[ "$(sqlite3 old.db 'SELECT 账号名称 FROM 账号集合 ORDER BY rowid LIMIT 1')" = 先有 ] ||
  fail "existing row not first"
sqlite3 old.db "DELETE FROM 账号集合 WHERE 账号名称='先有'"
same old.db

echo "fields found by name, not position"
variant swapped.mdb 'for old, new in (("账号名称", "临时名字"), ("账号类型", "账号名称"), ("临时名字", "账号类型")):
    data[:] = data.replace(u16(old), u16(new))'
expect 0 "已导入" import swapped.mdb swapped.db
sqlite3 swapped.db "UPDATE 账号集合 SET 账号名称 = 账号类型, 账号类型 = 账号名称"
same swapped.db

echo "a table count that lags behind (Access not closed properly) does not hide rows"
variant lagging.mdb 'data[3 * 4096 + 12:3 * 4096 + 16] = bytes(4)'  # 账号集合's row count
expect 0 "已导入" import lagging.mdb lagging.db
same lagging.db

echo "ACE (.accdb) headers"
for version in 2 3 4 5 6; do
  variant "ace$version.accdb" "data[4:20], data[0x14] = b'Standard ACE DB\0', $version"
  expect 0 "已导入" import "ace$version.accdb" "ace$version.db"
  same "ace$version.db"
done

echo "failure midway: existing store byte-identical"
"$tool" init midway.db 2> /dev/null
sqlite3 midway.db "INSERT INTO 账号集合 VALUES($first);
  CREATE TRIGGER stop BEFORE INSERT ON 账号集合 WHEN NEW.账号名称 = '长内容'
  BEGIN SELECT RAISE(ABORT, '写入中断'); END"
cp midway.db midway.before
expect 1 "写入中断" import "$fixture" midway.db
grep -q "导入未完成" err.txt || fail "no abort message: $(cat err.txt)"
cmp -s midway.db midway.before || fail "store changed by a failed import"
[ ! -e midway.db-journal ] || fail "journal left behind"

echo "failure midway: a store the import created is removed again"
limit=$(($(stat -c %s midway.before) / 1024 + 4)) # room for the schema, not for the rows
status=0
(ulimit -f "$limit"; trap '' XFSZ; exec "$tool" import "$fixture" created.db) 2> err.txt ||
  status=$?
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "import past the size limit: exit $status"
if [ -e created.db ] || [ -e created.db-journal ]; then fail "half-made store left: $(ls)"; fi
echo "passed"
