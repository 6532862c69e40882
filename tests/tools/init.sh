#!/usr/bin/env bash
# kelvarn-store init: makes a fresh owner-only store and never touches an existing file.
set -euo pipefail
tool="$KELVARN_BUILD/kelvarn-store"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

store="$work/zuld.mdb"
"$tool" init "$store" 2>"$work/err" || fail "init of a new path exited $?"
[ "$(stat -c %a "$store")" = 600 ] || fail "mode $(stat -c %a "$store"), want 600"
schema=$(sqlite3 "$store" .schema)
grep -q 'CREATE TABLE 账号集合(账号名称 TEXT, 账号类型 TEXT, 账号内容 TEXT, 创建时间 TEXT, 最后修改 TEXT)' \
  <<<"$schema" || fail "schema: $schema"
grep -q 'ON 账号集合(账号名称)' <<<"$schema" || fail "no index on 账号名称: $schema"

sqlite3 "$store" "INSERT INTO 账号集合 VALUES('甲','网站','内容','t','t')"
before=$(sha256sum <"$store")
if "$tool" init "$store" 2>"$work/err"; then fail "init overwrote an existing store"; fi
grep -q '已存在' "$work/err" || fail "no message for an existing file: $(cat "$work/err")"
[ "$(sha256sum <"$store")" = "$before" ] || fail "existing store changed"

if "$tool" init "$work/none/zuld.mdb" 2>"$work/err"; then fail "init made a file in a missing folder"; fi
[ ! -e "$work/none" ] || fail "missing folder was created"

if "$tool" init 2>"$work/err"; then fail "init without a path succeeded"; fi
grep -q '用法' "$work/err" || fail "no usage text"
echo "init: ok"
