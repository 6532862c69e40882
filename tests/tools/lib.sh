# shellcheck shell=bash disable=SC2015  # A && B || fail is meant
# Sourced by the kelvarn-store tests: a scratch folder as working directory, and helpers.
set -euo pipefail
[ -x /usr/bin/python3 ] && python3() { /usr/bin/python3 "$@"; }
tool="$KELVARN_BUILD/kelvarn-store"
as_user=()  # the command that runs the tool as another user
data="$KELVARN_TEST_DATA"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect STATUS TEXT ARGS...: the tool exits with STATUS, TEXT on stderr (err.txt).
expect() {
  local want=$1 text=$2 status=0
  shift 2
  "${as_user[@]}" "$tool" "$@" > out.txt 2> err.txt || status=$?
  [ "$status" -eq "$want" ] && { [ -z "$text" ] || grep -qF -- "$text" err.txt; } ||
    fail "$*: exit $status (want $want), want '$text' in: $(cat err.txt)"
}

# same STORE [JSON]: STORE holds exactly JSON's rows (the fixture's), a null as the empty text.
same() {
  python3 - "$1" "${2:-$data/legacy-zuld.json}" <<'PY' || fail "$1 differs from ${2:-the fixture}"
import json, sqlite3, sys
want = [{k: "" if v is None else v for k, v in row.items()}
        for row in json.load(open(sys.argv[2], encoding="utf-8"))]
fields = list(want[0])
got = [dict(zip(fields, row)) for row in sqlite3.connect(sys.argv[1]).execute(
    f"SELECT {','.join(fields)} FROM 账号集合 ORDER BY rowid")]
assert got == want, next(((g, w) for g, w in zip(got, want) if g != w), (len(got), len(want)))
PY
}

# variant OUT CODE: the fixture changed by Python CODE on `data`, a bytearray.
variant() {
  python3 - "$data/legacy-zuld.mdb" "$1" "$2" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
page = lambda n: slice(n * 4096, (n + 1) * 4096)
u16 = lambda text: text.encode("utf-16-le")
exec(sys.argv[3])
open(sys.argv[2], "wb").write(data)
PY
}
