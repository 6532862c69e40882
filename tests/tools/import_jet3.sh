#!/usr/bin/env bash
# kelvarn-store import of a Jet 3 (Access 97) file, built here page by page: names and text
# in CP936, real Date/Time columns (before 1899 and at both ends of Access's range), memos
# in the row, in one long-value row and in a chain of pages, nulls, and the five fields in
# another order among columns that are not imported.
set -euo pipefail
# Debian's own interpreter starts in a tenth of the time of a version manager's shim.
[ -x /usr/bin/python3 ] && python3() { /usr/bin/python3 "$@"; }
tool="$KELVARN_BUILD/kelvarn-store"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

python3 - jet3.mdb expected.json <<'PY'
import datetime, json, struct, sys

PAGE = 2048
TEXT, MEMO, DATETIME, LONGINT, INT, OLE = 0x0A, 0x0C, 0x08, 0x04, 0x03, 0x0B
# Page numbers: 0 header, then these, then the long-value pages.
MAPS, CATALOG, TABLE, CATALOG_DATA, TABLE_DATA, FIRST_LVAL = 1, 2, 3, 4, 5, 6


def rc4(key, data):
    s, j = list(range(256)), 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 255
        s[i], s[j] = s[j], s[i]
    i = j = 0
    out = bytearray()
    for byte in data:
        i = (i + 1) & 255
        j = (j + s[i]) & 255
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) & 255])
    return bytes(out)


def header():
    """Signature, version 0, and the RC4-masked block with code page 936 and no key."""
    data = bytearray(PAGE)
    data[0:20] = b"\x00\x01\x00\x00Standard Jet DB\x00"
    struct.pack_into("<HHI", data, 0x3A, 0x804, 936, 0)
    data[0x18:0x18 + 126] = rc4(bytes([0xC7, 0xDA, 0x39, 0x6B]), bytes(data[0x18:0x18 + 126]))
    return bytes(data)


def page(owner, rows):
    """A data page of the table whose definition is on page `owner`, or a long-value page
    (owner b"LVAL"); rows are stored from the end of the page down."""
    data = bytearray(PAGE)
    data[0:2] = b"\x01\x01"
    data[4:8] = owner if isinstance(owner, bytes) else struct.pack("<I", owner)
    struct.pack_into("<H", data, 8, len(rows))
    end = PAGE
    for i, row in enumerate(rows):
        end -= len(row)
        data[end:end + len(row)] = row
        struct.pack_into("<H", data, 10 + 2 * i, end)
    assert end >= 10 + 2 * len(rows)
    struct.pack_into("<H", data, 2, end - 10 - 2 * len(rows))
    return bytes(data)


# A column: (name, type, offset in the fixed area or None when variable, size).
def definition(columns, row_count, system, usage_row, free_row, codec):
    data = bytearray(PAGE)
    data[0:4] = b"\x02\x01VC"
    variable = [c for c in columns if c[2] is None]
    struct.pack_into("<IIIBHHHIIII", data, 8, 0, row_count, 0, 0x53 if system else 0x4E,
                     len(columns), len(variable), len(columns), 0, 0, usage_row, free_row)
    at = 43
    for number, column in enumerate(columns):
        name, kind, offset, size = column
        fixed = offset is not None
        struct.pack_into("<BHHHHHHBHH", data, at, kind, number,
                         0 if fixed else variable.index(column), number, 0x804, 936, 0,
                         0x03 if fixed else 0x02, offset or 0, size)
        at += 18
    for name, *_ in columns:
        encoded = name.encode(codec)
        data[at] = len(encoded)
        data[at + 1:at + 1 + len(encoded)] = encoded
        at += 1 + len(encoded)
    data[at:at + 2] = b"\xff\xff"
    struct.pack_into("<I", data, 8, at + 2)
    return bytes(data)


def row(columns, values):
    """Column count, fixed area, variable data; then the end of the data, the variable
    columns' offsets last first, their count, and the null mask (1 = present)."""
    fixed_size = max(c[2] + c[3] for c in columns if c[2] is not None)
    out = bytearray([len(columns)]) + bytearray(fixed_size)
    mask = bytearray((len(columns) + 7) // 8)
    offsets = []
    for number, ((_, _, offset, size), value) in enumerate(zip(columns, values)):
        if value is not None:
            mask[number // 8] |= 1 << (number % 8)
            if offset is not None:
                out[1 + offset:1 + offset + size] = value
    for (_, _, offset, _), value in zip(columns, values):
        if offset is None:
            offsets.append(len(out))
            out += value or b""
    end = len(out)
    out += bytes([end]) + bytes(reversed(offsets)) + bytes([len(offsets)]) + mask
    assert len(out) <= 256  # one-byte offsets, no jump table
    return bytes(out)


def date(text):
    """Days since 1899-12-30; before it the whole days count back, the time forward."""
    delta = datetime.datetime.strptime(text, "%Y/%m/%d %H:%M:%S") - datetime.datetime(1899, 12, 30)
    fraction = delta.seconds / 86400
    return struct.pack("<d", delta.days + fraction if delta.days >= 0 else delta.days - fraction)


def build(accounts):
    lval_pages = []

    def memo(raw):
        if raw is None:
            return None
        if len(raw) <= 64:  # in the row
            return struct.pack("<III", len(raw) | 0x80000000, 0, 0) + raw
        first = FIRST_LVAL + len(lval_pages)
        if len(raw) <= 2000:  # one long-value row
            lval_pages.append(page(b"LVAL", [raw]))
            return struct.pack("<III", len(raw) | 0x40000000, first << 8, 0)
        chunks = [raw[i:i + 2032] for i in range(0, len(raw), 2032)]  # a chain of pages
        for n, chunk in enumerate(chunks):
            following = (first + n + 1) << 8 if n + 1 < len(chunks) else 0
            lval_pages.append(page(b"LVAL", [struct.pack("<I", following) + chunk]))
        return struct.pack("<III", len(raw), first << 8, 0)

    cp936 = lambda text: None if text is None else text.encode("cp936")
    when = lambda text: None if text is None else date(text)
    columns = [("编号", LONGINT, 0, 4), ("创建时间", DATETIME, 4, 8), ("账号内容", MEMO, None, 0),
               ("账号名称", TEXT, None, 50), ("备注", TEXT, None, 50), ("最后修改", DATETIME, 12, 8),
               ("账号类型", TEXT, None, 50)]
    rows = [row(columns, [struct.pack("<i", n), when(a["创建时间"]), memo(cp936(a["账号内容"])),
                          cp936(a["账号名称"]), b"x", when(a["最后修改"]), cp936(a["账号类型"])])
            for n, a in enumerate(accounts)]
    catalog = [("Id", LONGINT, 0, 4), ("Type", INT, 4, 2), ("Flags", LONGINT, 6, 4),
               ("Name", TEXT, None, 255), ("LvProp", OLE, None, 0)]
    entries = [row(catalog, [struct.pack("<I", CATALOG), struct.pack("<H", 1),
                             struct.pack("<I", 0x80000002), b"MSysObjects", None]),
               row(catalog, [struct.pack("<I", TABLE), struct.pack("<H", 1), struct.pack("<I", 0),
                             "账号集合".encode("cp936"), None])]
    usage = lambda p: bytes(5) + bytes((1 << p % 8) if p // 8 == i else 0 for i in range(123))
    maps = page(0, [usage(CATALOG_DATA), usage(CATALOG_DATA), usage(TABLE_DATA), usage(TABLE_DATA)])
    return b"".join([header(), maps,
                     definition(catalog, len(entries), True, MAPS << 8 | 0, MAPS << 8 | 1, "ascii"),
                     definition(columns, len(rows), False, MAPS << 8 | 2, MAPS << 8 | 3, "cp936"),
                     page(CATALOG, entries), page(TABLE, rows)] + lval_pages)


accounts = [
    {"账号名称": "邮箱", "账号类型": "email", "账号内容": "user@example.com\r\n密码: abc123\r\n第三行",
     "创建时间": "2008/01/02 03:04:05", "最后修改": "2009/05/06 07:08:09"},
    {"账号名称": "O'Brien's 账号", "账号类型": "网银", "账号内容": "it's \"double\", comma\ttab\\back",
     "创建时间": "1899/12/29 06:00:00", "最后修改": None},
    {"账号名称": "长内容", "账号类型": "long", "账号内容": "长文本" * 300,
     "创建时间": "2013/03/03 03:03:03", "最后修改": "9999/12/31 23:59:59"},
    {"账号名称": "更长内容", "账号类型": "longer", "账号内容": "一丁丂七丄丅" * 900,
     "创建时间": "2014/04/04 04:04:04", "最后修改": "2014/04/04 04:04:05"},
    {"账号名称": "空值", "账号类型": "", "账号内容": None, "创建时间": None,
     "最后修改": "0100/01/01 00:00:00"},
]
open(sys.argv[1], "wb").write(build(accounts))
with open(sys.argv[2], "w", encoding="utf-8") as out:
    json.dump([{k: "" if v is None else v for k, v in a.items()} for a in accounts], out,
              ensure_ascii=False)
PY

"$tool" import jet3.mdb jet3.db 2> out.txt || fail "Jet 3 import: $(cat out.txt)"
grep -q "已导入 5 个账号" out.txt || fail "count message: $(cat out.txt)"
python3 - jet3.db expected.json <<'PY' || fail "Jet 3 cells"
import json, sqlite3, sys
fields = ["账号名称", "账号类型", "账号内容", "创建时间", "最后修改"]
rows = sqlite3.connect(sys.argv[1]).execute(
    "SELECT " + ",".join(fields) + " FROM 账号集合 ORDER BY rowid").fetchall()
got = [dict(zip(fields, row)) for row in rows]
want = json.load(open(sys.argv[2], encoding="utf-8"))
assert got == want, [(g, w) for g, w in zip(got, want) if g != w][:1]
PY

echo "passed"
