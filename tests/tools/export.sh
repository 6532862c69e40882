#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store export: the fixture's rows come back out unchanged as RFC 4180 CSV and as
# JSON (parsed by Python's own readers), in store order, without touching the store.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# A store holding the fixture's rows as they are, null included, and one made by import.
"$tool" init store.db 2> /dev/null
sqlite3 store.db "INSERT INTO 账号集合 SELECT value->>'账号名称', value->>'账号类型', value->>'账号内容',
  value->>'创建时间', value->>'最后修改' FROM json_each(readfile('$expected')) ORDER BY key"
cp store.db store.before
"$tool" import "$fixture" imported.db 2> /dev/null

"$tool" export store.db --format json > out.json || fail "json export"
"$tool" export store.db > out.csv || fail "csv export"
"$tool" export --format=csv store.db > again.csv && cmp -s out.csv again.csv || fail "--format=csv"
"$tool" export imported.db --format json > imported.json || fail "json export of an import"
cmp -s store.db store.before || fail "export changed the store"
python3 - "$expected" <<'PY' || fail "exported rows"
import csv, json, sys
load = lambda path: json.load(open(path, encoding="utf-8"))
want = load(sys.argv[1])
empty = [{k: "" if v is None else v for k, v in row.items()} for row in want]
assert load("out.json") == want and load("imported.json") == empty
with open("out.csv", encoding="utf-8", newline="") as f:
    assert list(csv.DictReader(f, strict=True)) == empty
data = open("out.csv", "rb").read()  # no BOM, CRLF after every record
assert data.startswith("账号名称,账号类型,账号内容,创建时间,最后修改\r\n".encode()) and data.endswith(b"\r\n")
# Row 3 has an empty 最后修改, row 4 a null one: "" and nothing.
assert b'2011-01-01 00:00:00,""\r\n' in data and b"2012-02-02 02:02:02,\r\n" in data
PY

"$tool" init empty.db 2> /dev/null
[ "$("$tool" export empty.db --format json)" = "[]" ] || fail "empty json"
[ "$("$tool" export empty.db)" = "$(printf '账号名称,账号类型,账号内容,创建时间,最后修改\r')" ] ||
  fail "empty csv"

expect 1 "找不到数据库文件" export nowhere.db
expect 1 "kelvarn-store import" export "$fixture"
expect 2 "不支持的导出格式“xml”" export store.db --format xml
expect 2 "用法" export store.db --format
expect 2 "用法" export
status=0
"$tool" export store.db > /dev/full 2> err.txt || status=$?
[ "$status" -eq 1 ] && grep -q "无法写出" err.txt || fail "full disk: exit $status: $(cat err.txt)"
echo "passed"
