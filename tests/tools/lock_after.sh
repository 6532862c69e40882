#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store lock-after: the idle minutes kept in the store; bad ones refused, the store as it was.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
minutes() { sqlite3 s.db "SELECT 值 FROM 设置 WHERE 名称 = '锁定分钟'"; }

"$tool" init s.db 2> /dev/null
expect 0 "无操作 25 分钟后锁定" lock-after s.db 25
[ "$(minutes)" = 25 ] || fail "25 not kept: $(minutes)"
expect 0 "不再按时间锁定" lock-after s.db 0
expect 0 "1440 分钟" lock-after s.db 1440
[ "$(minutes)" = 1440 ] && [ "$(sqlite3 s.db "SELECT count(*) FROM 设置")" = 1 ] || fail "not replaced"
cp s.db before.db
for bad in -1 1441 99999999999 abc 1.5 " 5" 5x "" +5; do
  expect 1 "分钟数“$bad”不对" lock-after s.db "$bad"
  cmp -s s.db before.db && [ "$(ls | xargs)" = "before.db err.txt out.txt s.db" ] || fail "'$bad' changed the store: $(ls)"
done
expect 2 "用法" lock-after s.db
expect 1 "找不到数据库文件" lock-after none.db 5
[ ! -e none.db ] || fail "a store made"
echo "passed"
