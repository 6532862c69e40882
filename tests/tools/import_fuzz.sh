#!/usr/bin/env bash
# kelvarn-store import of a few hundred randomly damaged copies of the fixture (seeded, so a
# failure can be replayed), in the sanitized build: each ends with exit 0 or 1, no signal and
# no sanitizer report, and a refused import leaves the target store as it was.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
"$tool" init existing.db 2> /dev/null
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:log_path=$work/report" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:log_path=$work/report"

python3 - "$tool" "$data/legacy-zuld.mdb" "${KELVARN_FUZZ_SEED:-20150131}" <<'PY'
import concurrent.futures, filecmp, os, random, shutil, subprocess, sys

tool, fixture, seed = sys.argv[1], sys.argv[2], int(sys.argv[3])
original, PAGE = open(fixture, "rb").read(), 4096


def run(case):
    """Scattered bytes, a burst in one page, 32-bit values, a cut, or a page zeroed."""
    rng, data = random.Random(seed * 100003 + case), bytearray(original)
    kind, page = rng.randrange(5), rng.randrange(len(data) // PAGE) * PAGE
    for _ in range(rng.randint(1, 40) if kind < 3 else 0):
        at = rng.randrange(len(data)) if kind == 0 else page + rng.randrange(PAGE - 4)
        data[at:at + (4 if kind == 2 else 1)] = rng.getrandbits(32 if kind == 2 else 8).to_bytes(
            4 if kind == 2 else 1, "little")
    if kind == 3:
        del data[rng.randrange(len(data)):]
    if kind == 4:
        data[page:page + PAGE] = bytes(PAGE)
    open(f"{case}.mdb", "wb").write(data)
    shutil.copy("existing.db", f"{case}.db")
    code = subprocess.run([tool, "import", f"{case}.mdb", f"{case}.db"], capture_output=True,
                          timeout=120).returncode
    if code not in (0, 1) or code and not filecmp.cmp(f"{case}.db", "existing.db", False):
        shutil.copy(f"{case}.mdb", f"/tmp/kelvarn-fuzz-{seed}-{case}.mdb")
        return f"case {case}: exit {code} (input kept in /tmp/kelvarn-fuzz-{seed}-{case}.mdb)"


with concurrent.futures.ThreadPoolExecutor(2) as pool:
    failures = [f for f in pool.map(run, range(300)) if f]
failures += [open(name).read()[:4000] for name in os.listdir() if name.startswith("report")]
sys.exit("\n".join(failures) or None)
PY
