#!/usr/bin/env bash
# kelvarn-store import of a few hundred randomly damaged copies of the fixture (seeded, so
# a failure can be replayed), in the sanitized build: every run ends with exit 0 or 1, no
# signal, no sanitizer report, no word from libmdb, and the target store untouched when
# the import is refused. KELVARN_FUZZ_CASES and KELVARN_FUZZ_SEED override the defaults.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
"$tool" init existing.db 2> /dev/null

python3 - "$tool" "$fixture" "${KELVARN_FUZZ_CASES:-300}" "${KELVARN_FUZZ_SEED:-20150131}" <<'PY'
import concurrent.futures, filecmp, os, random, shutil, subprocess, sys

tool, fixture, cases, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
original, PAGE = open(fixture, "rb").read(), 4096
pages = len(original) // PAGE
os.makedirs("sanitizer")
env = dict(os.environ)
for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
    env[name] = env.get(name, "") + f":log_path={os.getcwd()}/sanitizer/report:exitcode=86"


def damaged(rng):
    """Scattered bytes, a burst in one page, a page's header or row table, 32-bit values,
    a cut, or a page zeroed or swapped with another."""
    data, kind = bytearray(original), rng.randrange(7)
    base, page = rng.randrange(pages) * PAGE, lambda at: slice(at, at + PAGE)
    if kind < 3:
        count, start, span = [(40, 0, len(data)), (60, base, PAGE), (6, base, 64)][kind]
        for _ in range(rng.randint(1, count)):
            data[start + rng.randrange(span)] = rng.randrange(256)
    elif kind == 3:
        for _ in range(rng.randint(1, 4)):
            at = base + rng.randrange(PAGE - 4)
            value = rng.choice([0, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, rng.getrandbits(32),
                                rng.randrange(pages) << 8 | rng.randrange(4)])
            data[at:at + 4] = value.to_bytes(4, "little")
    elif kind == 4:
        del data[rng.randrange(len(data)):]
    elif kind == 5:
        data[page(base)] = bytes(PAGE)
    else:
        other = rng.randrange(pages) * PAGE
        data[page(base)], data[page(other)] = data[page(other)], data[page(base)]
    return data


def run(case):
    rng = random.Random(seed * 100003 + case)
    os.makedirs(str(case))
    source, target = f"{case}/damaged.mdb", f"{case}/target.db"
    open(source, "wb").write(damaged(rng))
    existing = case % 2 == 1
    if existing:
        shutil.copy("existing.db", target)
    try:
        result = subprocess.run([tool, "import", source, target], env=env, capture_output=True,
                                timeout=120)
    except subprocess.TimeoutExpired:
        return f"case {case}: hung"
    code, lines = result.returncode, result.stderr.decode("utf-8", "replace").splitlines()
    refused = code == 1
    problem = (f"signal {-code}" if code < 0 else f"exit {code}" if code not in (0, 1) else
               "unexpected output" if len(lines) != code + 1 else  # the count, or reason + abort
               "existing store changed" if refused and existing and
               not filecmp.cmp(target, "existing.db", shallow=False) else
               "store created" if refused and not existing and os.path.exists(target) else None)
    if problem:
        kept = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"kelvarn-fuzz-{seed}-{case}.mdb")
        shutil.copy(source, kept)
        return f"case {case}: {problem} (input kept as {kept})\n" + "\n".join(lines[-30:])
    shutil.rmtree(str(case))
    return code


with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
    outcomes = list(pool.map(run, range(cases)))
failures = [o for o in outcomes if isinstance(o, str)]
failures += [f"sanitizer report {name}:\n" + open(f"sanitizer/{name}").read()[:4000]
             for name in os.listdir("sanitizer")]
print(f"{cases} damaged copies, seed {seed}: {outcomes.count(0)} imported, "
      f"{outcomes.count(1)} refused, {len(failures)} failures")
sys.exit("\n\n".join(failures) or None)
PY
