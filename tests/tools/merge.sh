#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store merge: identities survive export and import, protected copies open, and a copy
# that is not a store or was doctored is refused with the store left byte for byte.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
nothing="添加 0 个账号，更新 0 个，删除 0 个，保留冲突副本 0 个"
# run PASSPHRASES ARGS...: the tool with the passphrases given on file descriptor 3.
run() { "$tool" "${@:2}" --passphrase-fd 3 3< <(printf '%s' "$1") > out.txt 2> err.txt; }

"$tool" import "$data/legacy-zuld.mdb" s.db 2> /dev/null
"$tool" export s.db --format csv > book.csv
"$tool" import book.csv back.db 2> /dev/null
cp s.db before.db
for other in back.db s.db before.db; do  # exported and imported, the same file, a copy
  expect 0 "$nothing" merge "$other" s.db
  cmp -s s.db before.db || fail "merging $other changed the store"
done

echo "not a store" > junk.db
cp before.db twice.db
sqlite3 twice.db "UPDATE 账号集合 SET 标识 = (SELECT 标识 FROM 账号集合 WHERE rowid = 1)"
for case in "twice.db|标识相同" "junk.db|不是" "doctored.db|没有标识|UPDATE 账号集合 SET 标识 = NULL WHERE rowid = 3" \
  "doctored.db|在将来|INSERT INTO 已删账号 VALUES(randomblob(16), '2999/01/01 00:00:00')" \
  "doctored.db|删除记录已损坏|INSERT INTO 已删账号 VALUES(randomblob(16), 'gestern')" \
  "doctored.db|版本记录已损坏|INSERT INTO 账号版本 VALUES(randomblob(16), x'01')"; do
  IFS='|' read -r other text change <<< "$case"
  [ -z "$change" ] || { cp before.db "$other" && sqlite3 "$other" "$change"; }
  expect 1 "$text" merge "$other" s.db
  grep -q "没有合并" err.txt && cmp -s s.db before.db || fail "$case: the store changed"
done

cp s.db other.db
printf '[{"账号名称":"新","账号类型":"类","账号内容":"MARKER-91c2","创建时间":null,"最后修改":null}]' > new.json
"$tool" import new.json other.db 2> /dev/null
cp s.db sealed.db
run $'secret\n' protect other.db && run $'other one\n' protect sealed.db || fail "protect"
! run $'wrong\n' merge other.db s.db && grep -q "密码不正确" err.txt && cmp -s s.db before.db ||
  fail "a wrong passphrase for the other copy"
run $'secret\n' merge other.db s.db && grep -q "添加 1 个账号" err.txt || fail "$(cat err.txt)"
run $'other one\nsecret\n' merge other.db sealed.db && grep -q "添加 1 个账号" err.txt &&
  ! grep -q MARKER-91c2 sealed.db || fail "into a protected store: $(cat err.txt)"

echo "passed"
