#!/usr/bin/env bash
# kelvarn-store import of a Jet 3 (Access 97) file, built here page by page: names and text
# in CP936, real Date/Time columns (before 1899 and at both ends of Access's range), memos
# in the row, in one long-value row and in a chain of pages, nulls, and the five fields in
# another order among columns that are not imported.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

python3 - jet3.mdb expected.json <<'PY'
import datetime, json, struct, sys

PAGE = 2048
TEXT, MEMO, DATETIME, LONGINT, INT, OLE = 0x0A, 0x0C, 0x08, 0x04, 0x03, 0x0B
# Page numbers: 0 header, then these, then the long-value pages.
MAPS, CATALOG, TABLE, CATALOG_DATA, TABLE_DATA, FIRST_LVAL = 1, 2, 3, 4, 5, 6
u32 = lambda n: struct.pack("<I", n)


def header():
    # Signature, version 0, and a block masked with RC4 under Jet's fixed key: code page 936.
    data = bytearray(PAGE)
    data[0:20] = b"\x00\x01\x00\x00Standard Jet DB\x00"
    struct.pack_into("<HHI", data, 0x3A, 0x804, 936, 0)
    s, i, j = list(range(256)), 0, 0
    for n in range(256):
        j = (j + s[n] + b"\xc7\xda\x39\x6b"[n % 4]) & 255
        s[n], s[j] = s[j], s[n]
    j = 0
    for at in range(0x18, 0x18 + 126):
        i = (i + 1) & 255
        j = (j + s[i]) & 255
        s[i], s[j] = s[j], s[i]
        data[at] ^= s[(s[i] + s[j]) & 255]
    return data


def page(owner, rows):
    # A data page of the table defined on page `owner`, or a long-value page (owner b"LVAL"),
    # rows stored from the end of the page down.
    data = bytearray(PAGE)
    owner = owner if isinstance(owner, bytes) else u32(owner)
    data[0:10] = b"\x01\x01\0\0" + owner + struct.pack("<H", len(rows))
    end = PAGE
    for i, row in enumerate(rows):
        end -= len(row)
        data[end:end + len(row)] = row
        struct.pack_into("<H", data, 10 + 2 * i, end)
    struct.pack_into("<H", data, 2, end - 10 - 2 * len(rows))  # free space
    return data


# A column: (name, type, offset in the fixed area or None when variable, size).
def definition(columns, row_count, system, maps_row, codec):
    data = bytearray(PAGE)
    data[0:4] = b"\x02\x01VC"
    variable = [c for c in columns if c[2] is None]
    struct.pack_into("<IIIBHHHIIII", data, 8, 0, row_count, 0, 0x53 if system else 0x4E,
                     len(columns), len(variable), len(columns), 0, 0, MAPS << 8 | maps_row,
                     MAPS << 8 | maps_row + 1)  # usage maps of the pages used and free
    at = 43
    for number, column in enumerate(columns):
        fixed = column[2] is not None
        struct.pack_into("<BHHHHHHBHH", data, at, column[1], number,
                         0 if fixed else variable.index(column), number, 0x804, 936, 0,
                         0x03 if fixed else 0x02, column[2] or 0, column[3])
        at += 18
    names = b"".join(bytes([len(n)]) + n for n in (c[0].encode(codec) for c in columns))
    data[at:at + len(names) + 2] = names + b"\xff\xff"
    struct.pack_into("<I", data, 8, at + len(names) + 2)
    return data


def row(columns, values):
    # Column count, fixed area, variable data; then the end of the data, the variable
    # columns' offsets last first, their count, and the null mask (1 = present).
    fixed_size = max(c[2] + c[3] for c in columns if c[2] is not None)
    out, mask, offsets = bytearray([len(columns)] + [0] * fixed_size), 0, []
    for number, ((_, _, offset, size), value) in enumerate(zip(columns, values)):
        mask |= (value is not None) << number
        if offset is not None and value is not None:
            out[1 + offset:1 + offset + size] = value
    for (_, _, offset, _), value in zip(columns, values):
        if offset is None:
            offsets.append(len(out))
            out += value or b""
    out += bytes([len(out), *reversed(offsets), len(offsets)])
    out += mask.to_bytes((len(columns) + 7) // 8, "little")
    assert len(out) <= 256  # one-byte offsets, no jump table
    return out


def date(text):
    # Days since 1899-12-30; before it the whole days count back, the time forward.
    if text is None:
        return None
    delta = datetime.datetime.strptime(text, "%Y/%m/%d %H:%M:%S") - datetime.datetime(1899, 12, 30)
    fraction = delta.seconds / 86400
    return struct.pack("<d", delta.days + fraction if delta.days >= 0 else delta.days - fraction)


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
        lval_pages.append(page(b"LVAL", [u32(following) + chunk]))
    return struct.pack("<III", len(raw), first << 8, 0)


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
cp936 = lambda text: None if text is None else text.encode("cp936")
columns = [("编号", LONGINT, 0, 4), ("创建时间", DATETIME, 4, 8), ("账号内容", MEMO, None, 0),
           ("账号名称", TEXT, None, 50), ("备注", TEXT, None, 50), ("最后修改", DATETIME, 12, 8),
           ("账号类型", TEXT, None, 50)]
rows = [row(columns, [u32(n), date(a["创建时间"]), memo(cp936(a["账号内容"])), cp936(a["账号名称"]),
                      b"x", date(a["最后修改"]), cp936(a["账号类型"])])
        for n, a in enumerate(accounts)]
catalog = [("Id", LONGINT, 0, 4), ("Type", INT, 4, 2), ("Flags", LONGINT, 6, 4),
           ("Name", TEXT, None, 255), ("LvProp", OLE, None, 0)]
entries = [row(catalog, [u32(CATALOG), b"\1\0", u32(0x80000002), b"MSysObjects", None]),
           row(catalog, [u32(TABLE), b"\1\0", u32(0), cp936("账号集合"), None])]
usage = lambda p: bytes(5) + bytes((1 << p % 8) if p // 8 == i else 0 for i in range(123))
maps = page(0, [usage(CATALOG_DATA), usage(CATALOG_DATA), usage(TABLE_DATA), usage(TABLE_DATA)])
open(sys.argv[1], "wb").write(b"".join(
    [header(), maps, definition(catalog, len(entries), True, 0, "ascii"),
     definition(columns, len(rows), False, 2, "cp936"), page(CATALOG, entries), page(TABLE, rows)]
    + lval_pages))
json.dump(accounts, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY

expect 0 "已导入 5 个账号" import jet3.mdb jet3.db
same jet3.db expected.json
echo "passed"
