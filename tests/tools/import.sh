#!/usr/bin/env bash
# shellcheck disable=SC1111,SC2015  # messages quote with “ ”; A && B || fail is meant
# kelvarn-store import: the Jet 4 fixture and a Jet 3 file (CP936, three memo layouts; checked
# by hand with mdb-export) arrive cell for cell; a file it cannot use, or a failure while
# writing, leaves the store byte for byte (a new one absent); so do 300 damaged copies.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
fixture=$data/legacy-zuld.mdb
first="'先有','类','内容','2015/01/31 08:05:09','2015/01/31 08:05:09'"

expect 0 "已导入 7 个账号" import "$fixture" new.db
same new.db
[ "$(stat -c %a new.db)" = 600 ] || fail "new store is not private"
expect 0 "已导入 5 个账号" import "$data/jet3.mdb" jet3.db
same jet3.db "$data/jet3.json"
"$tool" init old.db 2> /dev/null
sqlite3 old.db "INSERT INTO 账号集合(账号名称,账号类型,账号内容,创建时间,最后修改) VALUES($first)"
expect 0 "已导入 7 个账号" import "$fixture" old.db
[ "$(sqlite3 old.db "DELETE FROM 账号集合 WHERE rowid = 1 RETURNING 账号名称")" = 先有 ] ||
  fail "existing row not first"
same old.db

good() { variant "$1" "$2" && expect 0 "已导入" import "$1" "$1.db" && same "$1.db"; }
variant swapped.mdb 'for old, new in (("账号名称", "临时"), ("账号类型", "账号名称"), ("临时", "账号类型")):
    data[:] = data.replace(u16(old), u16(new))'
expect 0 "已导入" import swapped.mdb swapped.db
sqlite3 swapped.db "UPDATE 账号集合 SET 账号名称 = 账号类型, 账号类型 = 账号名称"
same swapped.db
# Access not closed properly may leave the table's row count behind (Jet 4 keeps it at 16).
good lagging.mdb 'data[3 * 4096 + 16:3 * 4096 + 20] = bytes(4)'
for version in 2 3 4 5 6; do
  good "ace$version.accdb" "data[4:20], data[0x14] = b'Standard ACE DB\0', $version"
done

"$tool" init target.db 2> /dev/null
cp target.db target.before
# refused SOURCE MESSAGE: into the existing store and into a missing one.
refused() {
  for target in target.db absent.db; do
    expect 1 "$2" import "$1" "$target"
    [ "$(wc -l < err.txt)" -eq 2 ] && grep -q "导入未完成" err.txt && [ ! -s out.txt ] ||
      fail "$1: more than the reason and the abort line: $(cat out.txt err.txt)"
  done
  cmp -s target.db target.before && [ ! -e absent.db ] || fail "$1: a store changed or made"
}
bad() { variant "$1" "$2" && refused "$1" "$3"; }
refused nowhere.mdb "找不到文件“nowhere.mdb”"
mkdir folder.mdb
refused folder.mdb "无法读取文件“folder.mdb”"
: > empty.mdb
refused empty.mdb "不是 Kelvarn 能导入的文件"
refused target.before "不是 Kelvarn 能导入的文件"
bad future.mdb 'data[0x14] = 9' "Access 版本（9）无法识别"
bad cut-rows.mdb 'del data[11 * 4096:]' "已损坏或不完整" # the table's data page is the last
bad no-lval.mdb 'data[page(8)] = bytes(4096)' "已损坏或不完整" # 2nd page of the 10 KB memo
bad memo-loop.mdb 'row = 9 * 4096 + (data[9 * 4096 + 14] | data[9 * 4096 + 15] << 8)
data[row:row + 4] = (8 << 8).to_bytes(4, "little")' "已损坏或不完整" # chain 8, 9, 8
bad bad-memo.mdb 'data[data.index(bytes.fromhex("10270000")) + 3] = 0xC0' "已损坏或不完整"
bad long-memo.mdb 'i = data.index(bytes.fromhex("b80b0040")); data[i:i + 3] = b"\xff\xff\x7f"' "已损坏或不完整"
bad rows-gone.mdb 'data[11 * 4096 + 12] = 3' "已损坏或不完整" # the page now holds 3 of 7 rows
bad no-table.mdb 'data[:] = data.replace(u16("账号集合"), u16("账号集x"))' "中没有表“账号集合”"
bad no-field.mdb 'data[:] = data.replace(u16("最后修改"), u16("最后更改"))' "缺少字段“最后修改”"
bad number-field.mdb 'data[3 * 4096 + 63 + 3 * 25] = 0x04' "字段“创建时间”的类型" # Long Integer
expect 2 "用法" import "$fixture"

# Exports of kelvarn-store: awkward values come back field for field, nulls too, also sealed.
rows() { sqlite3 "$1" "SELECT quote(账号名称), quote(账号类型), quote(账号内容), quote(创建时间), quote(最后修改) FROM 账号集合"; }
"$tool" init awkward.db 2> /dev/null && "$tool" init sealed.db 2> /dev/null
sqlite3 awkward.db "INSERT INTO 账号集合 VALUES('招商 \"银行\", 行', NULL, '', 'a' || char(13, 10, 1, 9) || '\\', '😀', randomblob(16)), (NULL, NULL, NULL, NULL, '', randomblob(16))"
"$tool" protect sealed.db --passphrase-fd 3 3< <(echo pw) 2> /dev/null
for format in json csv; do
  "$tool" export awkward.db --format $format > "export.$format"
  expect 0 "已导入 2 个账号" import "export.$format" "back-$format.db"
  [ "$(rows "back-$format.db")" = "$(rows awkward.db)" ] || fail "$format: $(rows "back-$format.db")"
done
expect 0 "已导入 2 个账号" import export.json sealed.db --passphrase-fd 3 3< <(echo pw)
expect 0 "已导入 0 个账号" import export.csv sealed.db --passphrase-fd 3 3< <(echo pw)  # already there
"$tool" export sealed.db --passphrase-fd 3 3< <(echo pw) | cmp -s - export.csv || fail "sealed, identities"
id=0123456789abcdef0123456789abcdef h=账号名称,账号类型,账号内容,创建时间,最后修改
printf '%s,标识\r\n,"",a,b,c,%s\r\n' $h $id > six.csv
printf '[ {"账号名称" :\t"\\ud83d\\ude00\\/\\u00e9", "账号类型":null,"账号内容":"","创建时间":null,"最后修改":null,\n"标识":"%s"}\r\n]\n' ${id/0/1} > six.json
for six in six.csv six.json; do expect 0 "已导入 1 个账号" import $six six.db; done
[ "$(rows six.db)" = "NULL|''|'a'|'b'|'c'
'😀/é'|NULL|''|NULL|NULL" ] || fail "exports with an identity: $(rows six.db)"

# junk FILE TEXT LINE REASON: TEXT (echo -e) in FILE is refused, naming FILE and LINE; the
# big ones at the end in linear time, and 10 MB of nesting without recursion.
as_user=(timeout 60)
junk() { echo -ne "$2" > "$1"; refused "$1" "“$1”第 $3 行：$4"; }
k='{"账号名称":null,"账号类型":null,"账号内容":null,"创建时间":null'
junk cut.json "[\n$k,\"最后修改\":null},\n" 3 "文件到这里"
junk open.json "[$k,\n\"最后修改\":\"a" 2 "引号从这里"
junk short.json "[\n$k}]" 2 "缺少字段“最后修改”"
junk twice.json "[$k,\n\"创建时间\":null}]" 2 "字段“创建时间”重复"
junk other.json "[$k,\"最后修改\":null,\n\"其他\":null}]" 2 "字段名不对"
junk number.json "[$k,\n\"最后修改\":-0}]" 2 "字段“最后修改”的值"
junk id31.json "[$k,\"最后修改\":null,\n\"标识\":\"${id:1}\"}]" 2 "字段“标识”应当"
junk half.json "[$k,\"最后修改\":\n\"\\\\udc00\"}]" 2 "字符串中有无效"
junk tail.json "[$k,\"最后修改\":null}]\n\nx" 3 "数组结束之后"
junk latin1.json "[\n$k,\"最后修改\":\"\xe9\"}]" 2 "不是有效的 UTF-8"
junk open.csv "$h\r\na,b,c,d,e\r\n\"a,,,,\r\n" 3 "引号从这里"
junk short.csv "$h\r\n,,,,\r\n,,,\r\n" 3 "应当有 5 个字段"
junk id.csv "$h,标识\r\n,,,,,${id^^}\r\n" 2 "字段“标识”应当"
junk head.csv "账号名称,账号类型,账号内容,最后修改\r\n" 1 "缺少字段“创建时间”"
junk quote.csv "$h\r\na,b\"c,d,e,f\r\n" 2 "字段写法不对"
junk deep.json "[$k,\"最后修改\":$(head -c 10000000 /dev/zero | tr '\0' '[')" 1 "字段“最后修改”的值"
junk long.json "[\n$(printf "$k,\"最后修改\":\"\\\\u4e2d\"},%.0s" {1..100000})x" 2 "不是"
junk long.csv "$h\r\n$(printf 'a,"b""",,d,e\r\n%.0s' {1..100000})\nx" 100002 "应当有"

sqlite3 target.db "INSERT INTO 账号集合(账号名称,账号类型,账号内容,创建时间,最后修改) VALUES($first); CREATE TRIGGER stop BEFORE INSERT ON
  账号集合 WHEN NEW.账号名称 = '长内容' BEGIN SELECT RAISE(ABORT, '写入中断'); END"
cp target.db target.before
expect 1 "写入中断" import "$fixture" target.db
cmp -s target.db target.before && [ ! -e target.db-journal ] || fail "store changed by a failed import"
limit=$(($(stat -c %s target.before) / 1024 + 4)) # room for the schema, not for the rows
{ (ulimit -f "$limit"; trap '' XFSZ; exec "$tool" import "$fixture" created.db) 2> err.txt
  [ $? -eq 1 ]; } && [ ! -e created.db ] && [ ! -e created.db-journal ] ||
  fail "import past the size limit: $(cat err.txt), left: $(ls)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:exitcode=86" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:exitcode=86"
python3 - "$tool" "$fixture" <<'PY'
import filecmp, random, shutil, subprocess, sys
tool, original, failures = sys.argv[1], open(sys.argv[2], "rb").read(), []
for case in range(300):  # scattered bytes, a burst in one page, or a cut
    rng, data = random.Random(case), bytearray(original)
    page = rng.randrange(len(data) // 4096) * 4096
    for _ in range(rng.randint(1, 40)):
        data[page + rng.randrange(4096) if case % 3 else rng.randrange(len(data))] = rng.randrange(256)
    if case % 5 == 0:
        del data[rng.randrange(len(data)):]
    open("fuzz.mdb", "wb").write(data)
    shutil.copy("target.before", "fuzz.db")
    code = subprocess.run([tool, "import", "fuzz.mdb", "fuzz.db"], capture_output=True).returncode
    if code not in (0, 1) or code == 1 and not filecmp.cmp("fuzz.db", "target.before", False):
        failures.append(f"damaged copy {case}: exit {code}")
sys.exit("\n".join(failures) or None)
PY
echo "passed"
