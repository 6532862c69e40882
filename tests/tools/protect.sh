#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store protect, passphrase and unprotect, export and import through the passphrase.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
contents() { sqlite3 s.db "SELECT quote(账号名称),quote(账号类型),quote(账号内容),quote(创建时间),quote(最后修改) FROM 账号集合 WHERE rowid <= 8"; }
# run PASSPHRASES ARGS...: the tool with the passphrases given on file descriptor 3.
run() { "$tool" "${@:2}" --passphrase-fd 3 3< <(printf '%s' "$1") > out.txt 2> err.txt; }

"$tool" import "$data/legacy-zuld.mdb" s.db 2> /dev/null
sqlite3 s.db "INSERT INTO 账号集合 VALUES('记号 MARKER-5f3a', '类 MARKER-5f3a', 'MARKER-5f3a 密码', 'MARKER-5f3a', NULL, randomblob(16))"
contents > plain.txt
"$tool" export s.db --format json > plain.json
run $'secret\n' protect s.db || fail "protect: $(cat err.txt)"
[ "$(ls s.db*)" = s.db ] && ! grep -q MARKER-5f3a s.db || fail "an account readable after protect: $(ls)"
run $'secret\n' export s.db --format json && cmp -s out.txt plain.json || fail "export through the passphrase"

cp s.db before.db && cp s.db damaged.db  # the last account's content moved to another: refused
sqlite3 damaged.db "UPDATE 账号集合 SET 账号内容 = (SELECT 账号内容 FROM 账号集合 WHERE rowid = 1) WHERE rowid = 8"
! run $'secret\n' export damaged.db && grep -q "无法解密" err.txt && [ ! -s out.txt ] || fail "failing export printed"
for command in export unprotect passphrase; do
  ! run $'wrong\nnew\n' "$command" s.db && grep -q "密码不正确。" err.txt && [ ! -s out.txt ] ||
    fail "$command with a wrong passphrase: $(cat out.txt err.txt)"
done
cmp -s s.db before.db || fail "a wrong passphrase changed the store"
sqlite3 before.db "DROP TABLE 账号密钥" && cp before.db nokey.db
for command in export import unprotect passphrase protect; do  # nothing sealed shown or copied
  [ $command = import ] && set -- "$data/jet3.mdb" || set --
  ! run $'secret\nnew\n' $command "$@" nokey.db && grep -q "没有解密所需的密钥表" err.txt &&
    [ ! -s out.txt ] && cmp -s nokey.db before.db || fail "$command without the key table: $(cat err.txt)"
done
run $'secret\nnew one\n' passphrase s.db && ! run $'secret\n' export s.db || fail "passphrase change"
run $'new one\n' import "$data/jet3.mdb" s.db && ! grep -q "长文本长文本" s.db || fail "import: $(cat err.txt)"
# On a terminal a new passphrase is typed twice, and must agree.
"$tool" init plain.db 2> /dev/null
printf 'a\nb\n' | script -qec "'$tool' protect plain.db" /dev/null > tty.txt || true
grep -q "两次输入的密码不一致。" tty.txt || fail "mismatch: $(cat tty.txt)"
! run "$(head -c 1025 /dev/zero | tr '\0' x)"$'\n' protect plain.db && grep -q "密码太长" err.txt &&
  ! run $' \u3000 \n' protect plain.db && grep -q "密码不能为空" err.txt || fail "too long, or only spaces"
! run $'x\n' protect s.db && grep -q "已经加密" err.txt || fail "protect twice"
run $'new one\n' unprotect s.db || fail "unprotect: $(cat err.txt)"
[ "$(contents)" = "$(cat plain.txt)" ] || fail "accounts changed by the round trip"
for command in export protect passphrase; do  # a store whose contents alone were sealed before
  cp "$data/contents-only.mdb" old.db
  run $'旧版 passphrase\n旧版 passphrase\n' $command old.db && run $'旧版 passphrase\n' export old.db \
    --format json && sed -E 's/,"标识":("[0-9a-f]{32}"|null)//' out.txt | cmp -s - "$data/contents-only.json" ||
    fail "$command of an older store"
  [ $command = export ] || [ "$(grep -cE '"标识":"[0-9a-f]{32}"' out.txt)" = "$(grep -c '^{' "$data/contents-only.json")" ] || fail "no identities: $command"
done
[ "$(sqlite3 old.db "SELECT DISTINCT typeof(账号类型) FROM 账号集合")" = blob ] || fail "not sealed"
cp "$data/sealed-whole.mdb" whole.db  # sealed whole by this release: its form read back as it was
run $'整本 passphrase\n' export whole.db --format json && cmp -s out.txt "$data/sealed-whole.json" ||
  fail "a store sealed whole before: $(cat err.txt)"
[ "$(sqlite3 s.db "SELECT count(*) FROM 账号集合")" = 13 ] && ! run $'x\n' unprotect s.db &&
  grep -q "没有加密" err.txt ||
  fail "the imported accounts, or unprotect twice"
echo "passed"
