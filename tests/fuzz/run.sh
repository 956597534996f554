#!/usr/bin/env bash
# Long fuzzing runs: builds the fuzz targets with clang and libFuzzer (the
# tree scripts/test.sh also builds) and runs each for a time budget (seconds,
# default 60) through fuzz-one.sh, on the same corpus and crash folders as
# the test run's fuzz tests: build/fuzz/corpus/<name>, build/fuzz/crashes/<name>.
#   tests/fuzz/run.sh [seconds] [target...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
budget=${1:-60}
shift || true
bash "$root/scripts/setup.sh" >/dev/null
source "$root/scripts/env.sh"
pw_build_fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/tests/fuzz/*Fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
status=0
for t in "${targets[@]}"; do
  bash "$root/tests/fuzz/fuzz-one.sh" "$root/build/fuzz/tests/fuzz/$t" "$budget" "$root/build/fuzz/corpus/$t" \
    "$root/tests/fuzz/corpus/$t" "$root/build/fuzz/crashes/$t" "$root/build/fuzz/stats/$t.txt" || status=1
done
exit $status
