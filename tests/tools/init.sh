#!/usr/bin/env bash
# kelvarn-store init: makes a fresh owner-only store and never touches an existing file.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

expect 0 "已新建空的账号库" init zuld.mdb
[ "$(stat -c %a zuld.mdb)" = 600 ] || fail "mode $(stat -c %a zuld.mdb), want 600"
schema=$(sqlite3 zuld.mdb .schema)
grep -q 'CREATE TABLE 账号集合(账号名称 TEXT, 账号类型 TEXT, 账号内容 TEXT, 创建时间 TEXT, 最后修改 TEXT)' \
  <<< "$schema" || fail "schema: $schema"
grep -q 'ON 账号集合(账号名称)' <<< "$schema" || fail "no index on 账号名称: $schema"

sqlite3 zuld.mdb "INSERT INTO 账号集合 VALUES('甲','网站','内容','t','t')"
cp zuld.mdb before.mdb
expect 1 "已存在" init zuld.mdb
cmp -s zuld.mdb before.mdb || fail "existing store changed"
expect 1 "无法创建数据库文件" init none/zuld.mdb
[ ! -e none ] || fail "missing folder was created"
expect 2 "用法" init
echo "init: ok"
