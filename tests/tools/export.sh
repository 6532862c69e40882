#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store export: the fixture's rows come back out unchanged as RFC 4180 CSV and as
# JSON (parsed here by Python's own readers), in store order, without touching the store;
# refusals have Chinese messages.
set -euo pipefail
# Debian's own interpreter starts in a tenth of the time of a version manager's shim.
[ -x /usr/bin/python3 ] && python3() { /usr/bin/python3 "$@"; }
tool="$KELVARN_BUILD/kelvarn-store"
expected="$KELVARN_TEST_DATA/legacy-zuld.json"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# compare FILE FORMAT NULLS: the export in FILE equals the fixture, nulls kept or as "".
compare() {
  python3 - "$expected" "$1" "$2" "$3" <<'PY'
import csv, json, sys
want = json.load(open(sys.argv[1], encoding="utf-8"))
if sys.argv[4] == "empty":
    want = [{k: ("" if v is None else v) for k, v in row.items()} for row in want]
if sys.argv[3] == "json":
    got = json.load(open(sys.argv[2], encoding="utf-8"))
else:
    with open(sys.argv[2], encoding="utf-8", newline="") as f:
        got = list(csv.DictReader(f, strict=True))
assert got == want, (got[:1], want[:1])
PY
}

echo "a store holding the fixture's rows as they are, null included"
"$tool" init store.db 2> /dev/null
python3 - "$expected" <<'PY'
import json, sqlite3, sys
db = sqlite3.connect("store.db")
for row in json.load(open(sys.argv[1], encoding="utf-8")):
    db.execute("INSERT INTO 账号集合(" + ",".join(row) + ") VALUES(?,?,?,?,?)", list(row.values()))
db.commit()
PY
before=$(sha256sum < store.db)

"$tool" export store.db --format json > out.json || fail "json export"
compare out.json json null || fail "json round trip"
"$tool" export store.db > out.csv || fail "csv export"
compare out.csv csv empty || fail "csv round trip"
"$tool" export --format=csv store.db > again.csv && cmp -s out.csv again.csv || fail "--format=csv"
python3 - out.csv <<'PY' || fail "csv layout"
data = open("out.csv", "rb").read()
assert data.startswith("账号名称,账号类型,账号内容,创建时间,最后修改\r\n".encode())
assert data.endswith(b"\r\n") and not data.startswith(b"\xef\xbb\xbf")
# Row 3 has an empty 最后修改, row 4 a null one: "" and nothing.
assert b'2011-01-01 00:00:00,""\r\n' in data and b"2012-02-02 02:02:02,\r\n" in data
PY
[ "$(sha256sum < store.db)" = "$before" ] || fail "export changed the store"

echo "import then export"
"$tool" import "$KELVARN_TEST_DATA/legacy-zuld.mdb" imported.db 2> /dev/null
"$tool" export imported.db --format json > imported.json && compare imported.json json empty ||
  fail "imported json"
"$tool" export imported.db --format csv > imported.csv && compare imported.csv csv empty ||
  fail "imported csv"

echo "an empty store"
"$tool" init empty.db 2> /dev/null
[ "$("$tool" export empty.db --format json)" = "[]" ] || fail "empty json"
[ "$("$tool" export empty.db)" = "$(printf '账号名称,账号类型,账号内容,创建时间,最后修改\r')" ] ||
  fail "empty csv"

echo "refusals"
refused() {
  local expected_status=$1 message=$2 status
  shift 2
  set +e
  "$tool" export "$@" > out.txt 2> err.txt
  status=$?
  set -e
  [ "$status" -eq "$expected_status" ] || fail "export $*: exit $status"
  grep -qF "$message" err.txt || fail "export $*: expected '$message', got: $(cat err.txt)"
}
refused 1 "找不到数据库文件" nowhere.db
refused 1 "kelvarn-store import" "$KELVARN_TEST_DATA/legacy-zuld.mdb"
refused 2 "不支持的导出格式“xml”" store.db --format xml
refused 2 "用法" store.db --format
refused 2 "用法"
set +e
"$tool" export store.db > /dev/full 2> err.txt
status=$?
set -e
[ "$status" -eq 1 ] && grep -q "无法写出" err.txt || fail "full disk: exit $status: $(cat err.txt)"

echo "passed"
