#!/usr/bin/env bash
# Plants one fault in a scratch copy of the tree and tells whether the test suite notices it.
#
#   scripts/mutate.sh FILE:LINE 'from' 'to'
#
# FILE is relative to the repository root; 'from' must occur exactly once on LINE (plain text,
# no patterns) and is replaced by 'to'. The copy lives under ${TMPDIR:-/tmp}/sensorbench-mutate/
# and keeps its build directory, so after the first run only the changed file is compiled again
# (ccache shares objects with the other build directories). The real tree is never written.
#
# Prints CAUGHT and the failing tests, or MISSED. Exit code 0 caught, 1 missed, 2 the change
# could not be applied or the mutant does not compile.
# Environment: MUTATE_TESTS=regex runs only the matching tests (ctest -R); MUTATE_JOBS=N builds
# and tests with N jobs (default 2).
set -euo pipefail

usage() { echo "usage: $0 FILE:LINE 'from' 'to'" >&2; exit 2; }
[[ $# -eq 3 && "$1" == *:* ]] || usage
file="${1%:*}"
line="${1##*:}"
from="$2"
to="$3"
[[ "$line" =~ ^[0-9]+$ ]] || usage

root="$(git -C "$(dirname "$0")" rev-parse --show-toplevel)"
[[ -f "$root/$file" ]] || { echo "no such file: $file" >&2; exit 2; }
scratch="${TMPDIR:-/tmp}/sensorbench-mutate/$(echo "$root" | md5sum | cut -c1-12)"
jobs="${MUTATE_JOBS:-2}"
mkdir -p "$scratch/tree"

# One run at a time per tree.
exec 9>"$scratch/lock"
flock 9

# Bring the copy up to the working tree as it is now (uncommitted edits included). Files are
# compared by content and a copied file gets a fresh time stamp, so the build recompiles exactly
# what differs, the file of the previous run's mutant included.
python3 - "$root" "$scratch/tree" <<'PY'
import filecmp, os, shutil, sys
src, dst = sys.argv[1], sys.argv[2]

def skip(rel):
    top = rel.split(os.sep)[0]
    return top == ".git" or top.startswith("build")

def files(base):
    for d, dirs, names in os.walk(base):
        rel_d = os.path.relpath(d, base)
        dirs[:] = [x for x in dirs if not skip(os.path.normpath(os.path.join(rel_d, x)))]
        for name in names:
            rel = os.path.normpath(os.path.join(rel_d, name))
            if not skip(rel):
                yield rel

wanted = set(files(src))
for rel in wanted:
    a, b = os.path.join(src, rel), os.path.join(dst, rel)
    if not os.path.isfile(b) or not filecmp.cmp(a, b, shallow=False):
        os.makedirs(os.path.dirname(b), exist_ok=True)
        shutil.copyfile(a, b)
        shutil.copymode(a, b)
for rel in set(files(dst)) - wanted:
    os.remove(os.path.join(dst, rel))
PY

target="$scratch/tree/$file"
# Put the original back, with a fresh time stamp, whatever happens from here on.
trap 'cp "$root/$file" "$target"' EXIT

python3 - "$target" "$line" "$from" "$to" <<'PY' || exit 2
import sys
path, line, old, new = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
with open(path, encoding="utf-8") as f:
    lines = f.readlines()
if not 1 <= line <= len(lines):
    sys.exit(f"{path}: no line {line}")
n = lines[line - 1].count(old)
if n != 1:
    sys.exit(f"line {line} holds '{old}' {n} times, not once:\n{lines[line - 1].rstrip()}")
lines[line - 1] = lines[line - 1].replace(old, new)
with open(path, "w", encoding="utf-8") as f:
    f.writelines(lines)
PY
echo "mutant: $file:$line: $(sed -n "${line}p" "$target" | sed 's/^[[:space:]]*//')"

export CCACHE_BASEDIR="$scratch/tree"
build="$scratch/tree/build"
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$scratch/tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSB_BUILD_BENCH=OFF >/dev/null
fi
if ! cmake --build "$build" -j"$jobs" >"$scratch/build.log" 2>&1; then
    echo "BUILD FAILED (see $scratch/build.log)"
    exit 2
fi

ctest_args=(--test-dir "$build" -j"$jobs" --timeout 300)
if [[ -n "${MUTATE_TESTS:-}" ]]; then
    ctest_args+=(-R "$MUTATE_TESTS")
fi
if ctest "${ctest_args[@]}" >"$scratch/ctest.log" 2>&1; then
    echo "MISSED"
    exit 1
fi
echo "CAUGHT by: $(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$scratch/ctest.log" | tr '\n' ' ')"
exit 0
