#!/usr/bin/env bash
# kelvarn-store import of a few hundred randomly damaged copies of the fixture (seeded, so
# a failure can be replayed), in the sanitized build: every run ends with exit 0 or 1, no
# signal, no sanitizer report, no word from libmdb, and the target store untouched when
# the import is refused. KELVARN_FUZZ_CASES and KELVARN_FUZZ_SEED override the defaults.
set -euo pipefail
# Debian's own interpreter starts in a tenth of the time of a version manager's shim.
[ -x /usr/bin/python3 ] && python3() { /usr/bin/python3 "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$KELVARN_BUILD/kelvarn-store" init "$work/existing.db" 2> /dev/null

python3 - "$KELVARN_BUILD/kelvarn-store" "$KELVARN_TEST_DATA/legacy-zuld.mdb" "$work" \
  "${KELVARN_FUZZ_CASES:-300}" "${KELVARN_FUZZ_SEED:-20150131}" <<'PY'
import concurrent.futures, filecmp, os, random, shutil, subprocess, sys

tool, fixture, work, cases, seed = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
original = open(fixture, "rb").read()
PAGE = 4096
pages = len(original) // PAGE
SANITIZER_EXIT = 86
logs = os.path.join(work, "sanitizer")
os.makedirs(logs)
report = f"log_path={logs}/report:exitcode={SANITIZER_EXIT}"
env = dict(os.environ)
env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":" + report
env["UBSAN_OPTIONS"] = env.get("UBSAN_OPTIONS", "") + ":" + report
env["LSAN_OPTIONS"] = env.get("LSAN_OPTIONS", "") + ":" + report


def damaged(rng):
    """One damaged copy: scattered bytes, a burst in one page, a page's header or row
    table, 32-bit values, a cut, or a page zeroed or swapped."""
    data = bytearray(original)
    kind = rng.randrange(7)
    page = rng.randrange(pages)
    base = page * PAGE
    if kind == 0:
        for _ in range(rng.randint(1, 40)):
            data[rng.randrange(len(data))] = rng.randrange(256)
    elif kind == 1:
        for _ in range(rng.randint(1, 60)):
            data[base + rng.randrange(PAGE)] = rng.randrange(256)
    elif kind == 2:
        for _ in range(rng.randint(1, 6)):
            data[base + rng.randrange(64)] = rng.randrange(256)
    elif kind == 3:
        for _ in range(rng.randint(1, 4)):
            at = base + rng.randrange(PAGE - 4)
            value = rng.choice([0, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, rng.getrandbits(32),
                                rng.randrange(pages) << 8 | rng.randrange(4)])
            data[at:at + 4] = value.to_bytes(4, "little")
    elif kind == 4:
        data = data[:rng.randrange(len(data))]
    elif kind == 5:
        data[base:base + PAGE] = bytes(PAGE)
    else:
        other = rng.randrange(pages) * PAGE
        data[base:base + PAGE], data[other:other + PAGE] = data[other:other + PAGE], data[base:base + PAGE]
    return bytes(data)


def run(case):
    rng = random.Random(seed * 100003 + case)
    folder = os.path.join(work, str(case))
    os.makedirs(folder)
    source = os.path.join(folder, "damaged.mdb")
    open(source, "wb").write(damaged(rng))
    existing = case % 2 == 1
    target = os.path.join(folder, "target.db")
    if existing:
        shutil.copy(os.path.join(work, "existing.db"), target)
    try:
        result = subprocess.run([tool, "import", source, target], env=env, capture_output=True,
                                timeout=120)
    except subprocess.TimeoutExpired:
        return f"case {case}: hung"
    lines = result.stderr.decode("utf-8", "replace").splitlines()
    problem = None
    if result.returncode < 0:
        problem = f"signal {-result.returncode}"
    elif result.returncode not in (0, 1):
        problem = f"exit {result.returncode}"
    elif len(lines) != (1 if result.returncode == 0 else 2):
        problem = "unexpected output"
    elif result.returncode == 1 and existing and not filecmp.cmp(target, os.path.join(work, "existing.db"), shallow=False):
        problem = "existing store changed"
    elif result.returncode == 1 and not existing and os.path.exists(target):
        problem = "store created"
    if problem:
        kept = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"kelvarn-fuzz-{seed}-{case}.mdb")
        shutil.copy(source, kept)
        return f"case {case}: {problem} (input kept as {kept})\n" + "\n".join(lines[-30:])
    shutil.rmtree(folder)
    return result.returncode


with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
    outcomes = list(pool.map(run, range(cases)))
failures = [o for o in outcomes if isinstance(o, str)]
for name in os.listdir(logs):
    failures.append(f"sanitizer report {name}:\n" + open(os.path.join(logs, name)).read()[:4000])
print(f"{cases} damaged copies, seed {seed}: {outcomes.count(0)} imported, "
      f"{outcomes.count(1)} refused, {len(failures)} failures")
if failures:
    print("\n\n".join(failures))
    sys.exit(1)
PY
