#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store init, export (CSV and JSON, read by Python's own readers), a store an ordinary
# user may not write, --help and --version.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

expect 0 "已新建空的账号库" init store.db
[ "$(stat -c %a store.db)" = 600 ] || fail "mode $(stat -c %a store.db), want 600"
[ "$(sqlite3 store.db .schema)" = "CREATE TABLE 账号集合(账号名称 TEXT, 账号类型 TEXT, 账号内容 TEXT, 创建时间 TEXT, 最后修改 TEXT, 标识 BLOB);
CREATE INDEX 账号集合_账号名称 ON 账号集合(账号名称);
CREATE TABLE 账号版本(标识 BLOB PRIMARY KEY, 版本 BLOB NOT NULL) WITHOUT ROWID;
CREATE TABLE 已删账号(标识 BLOB PRIMARY KEY, 删除时间 TEXT NOT NULL) WITHOUT ROWID;
CREATE INDEX 账号集合_无标识 ON 账号集合(标识) WHERE 标识 IS NULL;" ] || fail "schema: $(sqlite3 store.db .schema)"
[ "$("$tool" export store.db --format json)" = "[]" ] || fail "empty json"
[ "$("$tool" export store.db)" = "$(printf '账号名称,账号类型,账号内容,创建时间,最后修改,标识\r')" ] ||
  fail "empty csv"
cp store.db empty.db

sqlite3 store.db "INSERT INTO 账号集合(账号名称,账号类型,账号内容,创建时间,最后修改) SELECT value->>'账号名称', value->>'账号类型', value->>'账号内容',
  value->>'创建时间', value->>'最后修改' FROM json_each(readfile('$data/legacy-zuld.json')) ORDER BY key"
cp store.db store.before
expect 1 "已存在" init store.db
expect 1 "无法创建数据库文件" init none/zuld.mdb
expect 2 "用法" init
"$tool" import "$data/legacy-zuld.mdb" imported.db 2> /dev/null
"$tool" export store.db --format json > out.json || fail "json export"
"$tool" export --format=csv store.db > out.csv || fail "csv export"
"$tool" export imported.db --format json > imported.json || fail "json export of an import"
cmp -s store.db store.before || fail "init or export changed the store"
python3 - "$data/legacy-zuld.json" <<'PY' || fail "exported rows"
import csv, json, sys
ids = {}  # identities: none for rows another program put in, 32 hex digits for the import's
def load(path, rows=None):
    rows = rows or json.load(open(path, encoding="utf-8"))
    ids[path] = {row.pop("标识", None) for row in rows}
    return rows
want = load(sys.argv[1])
empty = [{k: "" if v is None else v for k, v in row.items()} for row in want]
assert load("out.json") == want and load("imported.json") == empty
assert ids["out.json"] == {None} and all(len(i) == 32 and int(i, 16) >= 0 for i in ids["imported.json"])
with open("out.csv", encoding="utf-8", newline="") as f:
    assert load("csv", list(csv.DictReader(f, strict=True))) == empty and ids["csv"] == {""}
data = open("out.csv", "rb").read()  # no BOM, CRLF after every record
assert data.startswith("账号名称,账号类型,账号内容,创建时间,最后修改,标识\r\n".encode()) and data.endswith(b"\r\n")
# Row 3 has an empty 最后修改, row 4 a null one: "" and nothing.
assert b'2011-01-01 00:00:00,"",\r\n' in data and b"2012-02-02 02:02:02,,\r\n" in data
PY

expect 1 "找不到数据库文件" export nowhere.db
expect 1 "kelvarn-store import" export "$data/legacy-zuld.mdb"
expect 2 "不支持的导出格式“xml”" export store.db --format xml
expect 2 "用法" export store.db --format
for s in empty.db store.db; do  # on a full disk the last flush fails, or a write on the way
  { "$tool" export "$s" > /dev/full 2> err.txt; [ $? -eq 1 ]; } && grep -q "无法写出" err.txt || fail "full disk: $s"
done
for help in --help -h; do
  "$tool" "$help" > out.txt && grep -q "kelvarn-store import FILE STORE" out.txt || fail "$help"
done
[ "$("$tool" --version)" = "kelvarn-store 15.1.4" ] || fail "--version"
expect 2 "kelvarn-store export STORE" frobnicate

# An ordinary user (root writes anything), a write-protected store and folder.
chmod 755 "$work" && mkdir locked && cp "$tool" "$data/legacy-zuld.mdb" store.before locked/
chmod 444 locked/store.before && chmod 555 locked
tool=locked/kelvarn-store as_user=(env ASAN_OPTIONS=detect_leaks=0)
[ "$(id -u)" != 0 ] || as_user+=(setpriv --reuid=65534 --regid=65534 --clear-groups)
expect 1 "数据库文件“locked/store.before”是只读的" import locked/legacy-zuld.mdb locked/store.before
expect 1 "没有在这个文件夹中写入的权限" import locked/legacy-zuld.mdb locked/new.db
expect 1 "没有在这个文件夹中写入的权限" init locked/new.db
expect 0 "" export locked/store.before --format json
cmp -s out.txt out.json && cmp -s locked/store.before store.before && [ "$(ls locked | wc -l)" = 3 ] ||
  fail "export of a write-protected store, or the store or its folder changed: $(ls locked)"
chmod 755 locked
# Neither a core file nor another process of the user gets at what the tool holds, once it runs.
mkdir -m 777 open && "$tool" init open/s.db 2> /dev/null && chmod 666 open/s.db && mkfifo never
(ulimit -c unlimited && exec "${as_user[@]}" "$tool" protect open/s.db --passphrase-fd 3 3<> never) &> /dev/null &
waiting=$!
for _ in $(seq 600); do
  [ "$(cat /proc/$waiting/comm)" = kelvarn-store ] && ! "${as_user[@]}" cat /proc/$waiting/environ &> /dev/null && break
  sleep 0.05
done
readable=no core=$(grep core /proc/$waiting/limits)
"${as_user[@]}" cat /proc/$waiting/environ &> /dev/null && readable=yes
kill $waiting
[ $readable = no ] && [[ $core =~ size\ +0\ +0 ]] || fail "the tool can be read ($readable) or dumped: $core"
echo "passed"
