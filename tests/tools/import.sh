#!/usr/bin/env bash
# kelvarn-store import: every cell of the Jet 4 fixture arrives exactly, rows keep their
# order and are appended to an existing store, fields are found by name, ACE headers read
# the same, and a failure while writing leaves the store as it was (or not there at all).
set -euo pipefail
# Debian's own interpreter starts in a tenth of the time of a version manager's shim.
[ -x /usr/bin/python3 ] && python3() { /usr/bin/python3 "$@"; }
tool="$KELVARN_BUILD/kelvarn-store"
fixture="$KELVARN_TEST_DATA/legacy-zuld.mdb"
expected="$KELVARN_TEST_DATA/legacy-zuld.json"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Rows of a store, straight from the file, as JSON in rowid order.
rows() {
  python3 - "$1" <<'PY'
import json, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
fields = ["账号名称", "账号类型", "账号内容", "创建时间", "最后修改"]
rows = db.execute("SELECT " + ",".join(fields) + " FROM 账号集合 ORDER BY rowid").fetchall()
print(json.dumps([dict(zip(fields, row)) for row in rows], ensure_ascii=False))
PY
}

# The fixture's rows as the store must hold them: a null text becomes the empty text.
python3 - "$expected" > fixture-rows.json <<'PY'
import json, sys
rows = json.load(open(sys.argv[1], encoding="utf-8"))
print(json.dumps([{k: ("" if v is None else v) for k, v in r.items()} for r in rows],
                 ensure_ascii=False))
PY

# Copy of the fixture with one byte string replaced (same length), to vary its schema.
patched() {
  python3 - "$fixture" "$1" "$2" "$3" <<'PY'
import sys
data, old, new = open(sys.argv[1], "rb").read(), sys.argv[2], sys.argv[3]
old, new = old.encode("utf-16-le"), new.encode("utf-16-le")
assert data.count(old) == 1 and len(old) == len(new)
open(sys.argv[4], "wb").write(data.replace(old, new))
PY
}

echo "new store: every cell, in order"
"$tool" import "$fixture" new.db 2> out.txt || fail "import into a new store: $(cat out.txt)"
grep -q "已导入 7 个账号" out.txt || fail "count message: $(cat out.txt)"
[ "$(rows new.db)" = "$(cat fixture-rows.json)" ] || fail "cells differ from legacy-zuld.json"
[ "$(stat -c %a new.db)" = 600 ] || fail "new store is not private"

echo "existing store: rows appended after its own"
"$tool" init old.db 2> /dev/null
python3 -c "
import sqlite3; db = sqlite3.connect('old.db')
db.execute(\"INSERT INTO 账号集合 VALUES('先有','类','内容','2015/01/31 08:05:09','2015/01/31 08:05:09')\")
db.commit()"
"$tool" import "$fixture" old.db 2> /dev/null || fail "first append"
"$tool" import "$fixture" old.db 2> /dev/null || fail "second append"
python3 - old.db fixture-rows.json "$(rows old.db)" <<'PY' || fail "appended rows"
import json, sys
rows, want = json.loads(sys.argv[3]), json.load(open(sys.argv[2], encoding="utf-8"))
assert rows[0]["账号名称"] == "先有" and rows[1:] == want + want, rows[:2]
PY

echo "fields found by name, not position"
patched 账号名称 临时名字 step.mdb
python3 - step.mdb <<'PY'
import sys
path = sys.argv[1]
data = open(path, "rb").read()
for old, new in (("账号类型", "账号名称"), ("临时名字", "账号类型")):
    data = data.replace(old.encode("utf-16-le"), new.encode("utf-16-le"))
open(path, "wb").write(data)
PY
"$tool" import step.mdb swapped.db 2> /dev/null || fail "import with swapped columns"
python3 - fixture-rows.json "$(rows swapped.db)" <<'PY' || fail "swapped columns"
import json, sys
want, got = json.load(open(sys.argv[1], encoding="utf-8")), json.loads(sys.argv[2])
for w, g in zip(want, got):
    assert g["账号名称"] == w["账号类型"] and g["账号类型"] == w["账号名称"], g
    assert g["账号内容"] == w["账号内容"]
PY

echo "a table count that lags behind (Access not closed properly) does not hide rows"
python3 - "$fixture" lagging.mdb <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[3 * 4096 + 12:3 * 4096 + 16] = bytes(4)  # the row count of 账号集合's definition
open(sys.argv[2], "wb").write(data)
PY
"$tool" import lagging.mdb lagging.db 2> /dev/null || fail "import with a zero table count"
[ "$(rows lagging.db)" = "$(cat fixture-rows.json)" ] || fail "rows with a zero table count"

echo "ACE (.accdb) headers"
for version in 2 3 4 5 6; do
  python3 - "$fixture" "ace$version.accdb" "$version" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[4:20], data[0x14] = b"Standard ACE DB\0", int(sys.argv[3])
open(sys.argv[2], "wb").write(data)
PY
  "$tool" import "ace$version.accdb" "ace$version.db" 2> /dev/null || fail "ACE version $version"
  [ "$(rows "ace$version.db")" = "$(cat fixture-rows.json)" ] || fail "ACE version $version cells"
done

echo "failure midway: existing store byte-identical"
"$tool" init midway.db 2> /dev/null
python3 -c "
import sqlite3; db = sqlite3.connect('midway.db')
db.execute(\"INSERT INTO 账号集合 VALUES('先有','类','内容','2015/01/31 08:05:09','2015/01/31 08:05:09')\")
db.execute(\"CREATE TRIGGER stop BEFORE INSERT ON 账号集合 WHEN NEW.账号名称='长内容' BEGIN SELECT RAISE(ABORT, '写入中断'); END\")
db.commit()"
cp midway.db midway.before
if "$tool" import "$fixture" midway.db 2> out.txt; then fail "import past a failing row"; fi
grep -q "写入中断" out.txt || fail "cause not reported: $(cat out.txt)"
grep -q "导入未完成" out.txt || fail "no abort message: $(cat out.txt)"
cmp -s midway.db midway.before || fail "store changed by a failed import"
[ ! -e midway.db-journal ] || fail "journal left behind"

echo "failure midway: a store the import created is removed again"
"$tool" init measure.db 2> /dev/null
limit=$(( $(stat -c %s measure.db) / 1024 + 4 ))  # room for the schema, not for the rows
set +e
(ulimit -f "$limit"; trap '' XFSZ; exec "$tool" import "$fixture" created.db) 2> out.txt
status=$?
set -e
[ "$status" -ne 0 ] || fail "import succeeded past the file size limit"
[ "$status" -lt 128 ] || fail "import died of signal $((status - 128))"
if [ -e created.db ] || [ -e created.db-journal ]; then fail "half-made store left: $(ls)"; fi

echo "passed"
